// Timing and the table, shared by the Wine and the native benchmark: each
// figure gets a warm-up that also sizes its repetitions, then timed
// repetitions that alternate product and baseline (which one goes first
// alternates too), the medians per unit and the median of the ratios of
// neighbouring repetitions. Many short repetitions rather
// than a few long ones: on a shared machine a repetition that another
// process interrupts is an outlier the median leaves out, and both sides
// see the same spells of load.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "bench.h"

namespace mcrbench {

namespace {

// A repetition lasts about this long (or one unit, when a unit lasts
// longer): long enough for the clock, short enough that most repetitions
// fit between the interruptions of a busy machine.
constexpr double kRepetitionSeconds = 0.0005;
// Each side gets about this much time in all, in at least kRepetitionsMin
// and at most kRepetitionsMax repetitions.
constexpr double kFigureSeconds = 0.4;
constexpr int kRepetitionsMin = 7;
constexpr int kRepetitionsMax = 401;

std::vector<Figure>& Figures() {
  static std::vector<Figure> figures;
  return figures;
}

double TimeUnits(const std::function<void()>& work, int units) {
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < units; ++i) work();
  std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  return took.count() / units;
}

// The warm-up: the first calls pay for caches, page faults and first loads;
// then as many units as fill one repetition, run once to see how long a
// unit takes.
struct Sizing {
  int units;
  double unitSeconds;
};
Sizing WarmUp(const std::function<void()>& work) {
  work();
  double once = TimeUnits(work, 1);
  int units = static_cast<int>(std::clamp(kRepetitionSeconds / std::max(once, 1e-9), 1.0, 1e7));
  return {units, TimeUnits(work, units)};
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

volatile std::size_t g_sink;

}  // namespace

void Register(Figure figure) { Figures().push_back(std::move(figure)); }

void Sink(std::size_t value) { g_sink = g_sink + value; }

int RunFigures(const char* filter) {
  std::printf("%-46s %11s %11s %6s  %s\n", "figure", "product", "baseline", "ratio", "goal");
  double worst = 0;
  std::string worstName;
  int missed = 0, goals = 0;
  for (const Figure& f : Figures()) {
    if (!std::strstr(f.name.c_str(), filter)) continue;
    if (f.setup) f.setup();
    Sizing productSize = WarmUp(f.product), baselineSize = WarmUp(f.baseline);
    double slower = std::max(productSize.units * productSize.unitSeconds,
                             baselineSize.units * baselineSize.unitSeconds);
    int repetitions = static_cast<int>(
        std::clamp(kFigureSeconds / slower, double{kRepetitionsMin}, double{kRepetitionsMax}));
    std::vector<double> product, baseline;
    for (int r = 0; r < repetitions; ++r) {
      bool productFirst = r % 2 == 0;
      if (productFirst) product.push_back(TimeUnits(f.product, productSize.units));
      baseline.push_back(TimeUnits(f.baseline, baselineSize.units));
      if (!productFirst) product.push_back(TimeUnits(f.product, productSize.units));
    }
    // The ratio of each repetition to its neighbour on the other side: the
    // two ran under the same load, whatever the load did meanwhile.
    std::vector<double> ratios;
    for (int r = 0; r < repetitions; ++r)
      if (baseline[r] > 0) ratios.push_back(product[r] / baseline[r]);
    double p = Median(product), b = Median(baseline), ratio = ratios.empty() ? 0 : Median(ratios);
    std::string goal;
    bool met = true;
    if (f.ratioGoal > 0) {
      char text[32];
      std::snprintf(text, sizeof text, "<= %.1f x", f.ratioGoal);
      goal = text;
      met = ratio <= f.ratioGoal;
      if (ratio > worst) worst = ratio, worstName = f.name;
    } else if (f.timeGoal > 0) {
      goal = "<= " + Human(f.timeGoal);
      met = p <= f.timeGoal;
    }
    if (!goal.empty()) {
      ++goals;
      if (!met) ++missed;
      goal += met ? "  met" : "  MISSED";
    }
    std::printf("%-46s %11s %11s %6.2f  %s\n", f.name.c_str(), Human(p).c_str(), Human(b).c_str(), ratio,
                goal.c_str());
    std::fflush(stdout);
  }
  std::printf("worst ratio: %.2f (%s); goals missed: %d of %d\n", worst, worstName.c_str(), missed, goals);
  return missed;
}

}  // namespace mcrbench
