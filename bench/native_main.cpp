// mcrbench_native: the figures of platform-free code, on Linux.
#include "bench.h"

int main(int argc, char** argv) { return mcrbench::RunFigures(argc > 1 ? argv[1] : "") ? 1 : 0; }
