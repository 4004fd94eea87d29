// The number formatter alone against the C runtime's "%.*E" of the same
// value and digits; it runs natively as well as under Wine.
#include <cstdio>

#include "bench.h"
#include "numvalues.h"
#include "util/numfmt.h"

namespace mcrbench {
namespace {

constexpr mcr::SignificantFormat Format(int digits) { return {digits, 2, -1e300, 1e300, 1, 1000}; }

std::size_t g_product, g_baseline;

const Registrar kFormatter({"formatter alone (vs snprintf %.*E)", nullptr,
                            [] {
                              std::size_t i = g_product++ % NumberValues().size();
                              Sink(mcr::FormatSignificant(NumberValues()[i], Format(DigitsFor(i))).size());
                            },
                            [] {
                              std::size_t i = g_baseline++ % NumberValues().size();
                              char text[32];
                              Sink(static_cast<std::size_t>(
                                  std::snprintf(text, sizeof text, "%.*E", DigitsFor(i) - 1, NumberValues()[i])));
                            },
                            2.0});

}  // namespace
}  // namespace mcrbench
