#include <gtest/gtest.h>

#include "harness.hpp"

TEST(Programs, MissingSeriesFileIsFatal) {
  TSCRATCH D;
  TRUN R = RUN(D.PATH(), PROGRAM("termall"));
  EXPECT_EQ(R.STATUS, 217);
  EXPECT_NE(R.OUT.find("File not found"), std::string::npos) << R.OUT;
}
