// mcrbench: runs every figure (or those whose name contains the argument),
// each as a warm-up and then at least seven timed repetitions that alternate
// product and baseline, and prints the medians per unit and their ratio.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "bench.h"

#include <shellapi.h>

namespace mcrbench {

namespace {

std::vector<Figure>& Figures() {
  static std::vector<Figure> figures;
  return figures;
}

std::unique_ptr<mcrhost::Host> g_host;
std::string g_scratch;

double Seconds() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double TimeUnits(const std::function<void()>& work, int units) {
  double start = Seconds();
  for (int i = 0; i < units; ++i) work();
  return (Seconds() - start) / units;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Times in the unit that keeps three or four digits.
std::string Human(double seconds) {
  char text[32];
  if (seconds < 1e-3)
    std::snprintf(text, sizeof text, "%.2f us", seconds * 1e6);
  else if (seconds < 1)
    std::snprintf(text, sizeof text, "%.2f ms", seconds * 1e3);
  else
    std::snprintf(text, sizeof text, "%.2f s", seconds);
  return text;
}

void RemoveTree(const std::string& dir) {
  std::string from = dir + '\0';
  SHFILEOPSTRUCTA op = {};
  op.wFunc = FO_DELETE;
  op.pFrom = from.c_str();
  op.fFlags = FOF_NO_UI;
  SHFileOperationA(&op);
}

}  // namespace

void Register(Figure figure) { Figures().push_back(std::move(figure)); }

mcrhost::Host& SharedHost() { return *g_host; }

mcrhost::Outcome Call(const std::string& word, const std::vector<mcrhost::Arg>& args) {
  mcrhost::Outcome o = g_host->call(word, args);
  if (o.status != 0 || o.error()) {
    std::fprintf(stderr, "mcrbench: %s failed: %s\n", word.c_str(),
                 o.error() ? mcrhost::AnsiToUtf8(*o.error()).c_str() : "status");
    std::exit(1);
  }
  return o;
}

mcrhost::Arg S(const std::string& ansi) { return mcrhost::Value::Str(ansi); }
mcrhost::Arg N(double v) { return mcrhost::Value::Num(v); }

const std::string& Scratch() { return g_scratch; }

}  // namespace mcrbench

int main(int argc, char** argv) {
  using namespace mcrbench;
  const char* filter = argc > 1 ? argv[1] : "";
  constexpr int kRepetitions = 9;

  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string dir(path);
  dir = dir.substr(0, dir.find_last_of('\\') + 1);
  g_host = std::make_unique<mcrhost::Host>();
  std::string why;
  if (g_host->open((dir + "MCRPAK.dll").c_str(), &why) != 0) {
    std::fprintf(stderr, "mcrbench: cannot load the library: %s\n", why.c_str());
    return 3;
  }
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  g_scratch = std::string(temp) + "mcrbench." + std::to_string(GetCurrentProcessId());
  CreateDirectoryA(g_scratch.c_str(), nullptr);

  std::printf("%-44s %12s %12s %7s\n", "figure", "product", "baseline", "ratio");
  double worst = 0;
  std::string worstName;
  for (const Figure& f : Figures()) {
    if (!std::strstr(f.name.c_str(), filter)) continue;
    if (f.setup) f.setup();
    TimeUnits(f.product, f.units);  // warm-up: caches, page faults, first loads
    TimeUnits(f.baseline, f.units);
    std::vector<double> product, baseline;
    for (int r = 0; r < kRepetitions; ++r) {
      product.push_back(TimeUnits(f.product, f.units));
      baseline.push_back(TimeUnits(f.baseline, f.units));
    }
    double p = Median(product), b = Median(baseline), ratio = b > 0 ? p / b : 0;
    std::printf("%-44s %12s %12s %7.2f\n", f.name.c_str(), Human(p).c_str(), Human(b).c_str(), ratio);
    std::fflush(stdout);
    if (ratio > worst) worst = ratio, worstName = f.name;
  }
  std::printf("worst ratio: %.2f (%s)\n", worst, worstName.c_str());
  g_host->close();
  RemoveTree(g_scratch);
  return 0;
}
