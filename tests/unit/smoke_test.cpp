#include <gtest/gtest.h>

#include "testbits.hpp"
#include "unallcon.hpp"
#include "unfucuts.hpp"
#include "unfuperi.hpp"

TEST(Constants, SquareOfGaussianConstantIsTheExtendedProduct) {
  const TEXTENDED K = GAUSSK;
  EXPECT_EQ(SQRGAUK, K * K);
}

// Constants written with _EXT are the compiler's long double literals,
// whichever type the build uses.
TEST(Constants, ExtendedLiteralsAreTheHardwareLiterals) {
  SKIPWITHOUTX87();
  const std::pair<TEXTENDED, long double> PAIRS[] = {
      {GAUSSK, 0.01720209895L},
      {PIEXT, 3.14159265358979323846264338327950288L},
      {TWOPIEXT, 2.0L * 3.14159265358979323846264338327950288L},
      {DEFAULTTHRESHOLD, 1.0E-16L},
      {MINFREQ, 1.0E-19L},
      {TCUTS{}.THRESHOLDFREQUENCY(), 2.0L * 3.14159265358979323846264338327950288L / 73050.0L},
      {PARMA, 3.3528131778969144E-3L},
      {RADSEC, 206264.80624709636L},
      {0.1_EXT, 0.1L},
      {-0.0_EXT, -0.0L},
      {3.6e-4951_EXT, 3.6e-4951L},
      {1.18973149535723176502e4932_EXT, 1.18973149535723176502e4932L}};
  for (const auto& [E, L] : PAIRS) EXPECT_TRUE(SAMEBITS(E, EXTOF(L))) << HEXOF(E) << " " << HEXOF(EXTOF(L));
}
