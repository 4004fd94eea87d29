// The shipped 32-bit library does its double arithmetic on the x87 unit, at
// the precision the process that loads it has set: 53 bits in the
// workstation's programs, 64 under a test host. Linked into the numeric
// suites of the x87 build, this sets the precision MCR_X87_PRECISION names
// before any test runs, so that both settings are held to the answers of
// the SSE build.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

namespace {

unsigned Bits() {
  const char* bits = std::getenv("MCR_X87_PRECISION");
  return bits && std::string(bits) == "53" ? 53 : 64;
}

class X87Precision : public ::testing::Environment {
 public:
  void SetUp() override {
    unsigned short control;
    __asm__ volatile("fnstcw %0" : "=m"(control));
    control = static_cast<unsigned short>((control & ~0x300u) | (Bits() == 53 ? 0x200u : 0x300u));
    __asm__ volatile("fldcw %0" : : "m"(control));
  }
};

const ::testing::Environment* const kPrecision = ::testing::AddGlobalTestEnvironment(new X87Precision);

// The setting is in effect: a 64-bit mantissa keeps 2^-60 next to 1, a
// 53-bit one loses it.
TEST(X87, PrecisionIsTheOneAskedFor) {
  volatile long double one = 1, tiny = std::ldexp(1.0L, -60);
  volatile long double sum = one + tiny;
  EXPECT_EQ(sum != one, Bits() == 64) << Bits() << " bits";
}

}  // namespace
