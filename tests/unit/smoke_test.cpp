#include <gtest/gtest.h>

#include "unallcon.hpp"

TEST(Constants, SquareOfGaussianConstantIsTheExtendedProduct) {
  volatile TEXTENDED K = GAUSSK;
  EXPECT_EQ(SQRGAUK, K * K);
}
