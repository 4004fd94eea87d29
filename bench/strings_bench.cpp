// The string words: the cost of a word's round trip through the host, held
// to a time rather than a ratio (the baseline is a substring in memory).
#include "host.h"

namespace mcrbench {
namespace {

const std::string kText(100, 'x');

const Registrar kLeft({"Left$ round trip (vs substr)", nullptr,
                       [] { Sink(Call("Left$", {S(kText), N(40)}).result->text.size()); },
                       [] { Sink(std::string(kText, 0, 40).size()); }, 0, 3e-6});

}  // namespace
}  // namespace mcrbench
