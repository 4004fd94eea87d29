// DBLFMTSTR$ through the host against what any word costs for a text of
// the same length (the round trip of Left$) plus the C runtime's "%.*E".
#include <cstdio>

#include "host.h"
#include "numvalues.h"

namespace mcrbench {
namespace {

const std::string kText(100, 'x');
std::size_t g_product, g_baseline;

const Registrar kDblFmtStr({"DBLFMTSTR$ (vs Left$ + snprintf)", nullptr,
                            [] {
                              std::size_t i = g_product++ % NumberValues().size();
                              Sink(Call("DBLFMTSTR$", {N(NumberValues()[i]), S(""), N(DigitsFor(i)), N(2),
                                                       N(-1e300), N(1e300), N(1), N(1000)})
                                       .result->text.size());
                            },
                            [] {
                              std::size_t i = g_baseline++ % NumberValues().size();
                              char text[32];
                              int n = std::snprintf(text, sizeof text, "%.*E", DigitsFor(i) - 1, NumberValues()[i]);
                              Sink(Call("Left$", {S(kText), N(n)}).result->text.size());
                            },
                            2.0});

}  // namespace
}  // namespace mcrbench
