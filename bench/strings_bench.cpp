// The string words: the cost of a word's round trip through the host.
#include "bench.h"

namespace mcrbench {
namespace {

const std::string kText(100, 'x');
volatile std::size_t g_sink;

const Registrar kLeft({"Left$ round trip (vs substr)", nullptr,
                       [] { g_sink = Call("Left$", {S(kText), N(40)}).result->text.size(); },
                       [] { g_sink = std::string(kText, 0, 40).size(); }, 20000});

}  // namespace
}  // namespace mcrbench
