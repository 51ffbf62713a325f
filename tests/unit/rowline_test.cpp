// The row line: the cells of the exponents and multipliers, and one whole
// line put together from its parts.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "unallvar.hpp"
#include "unforstr.hpp"
#include "unfuline.hpp"
#include "unrowini.hpp"
#include "untxtout.hpp"

namespace {

// The table of cells, made at compile time, against FORMATINT (untxtout).
TEST(RowLine, CellsAreTheIntegersInFourColumns) {
  for (int V = -128; V <= 127; ++V) {
    char B[32];
    ASSERT_EQ(FORMATINT(B, V, 4), 4);
    EXPECT_EQ(std::string(CELLTEXT(static_cast<int8_t>(V)), 4), std::string(B, 4)) << V;
  }
}

TEST(RowLine, LineFromPlanetsToPeriod) {
  RECNULLO();
  TROWVAR R = RECNUL;
  R.AMP = -2.0506896781179805e-04_EXT;
  const int MEC[6] = {6, 1, 0, 3, 18, -19}, MAR[6] = {-22, 1, 0, 22, 0, -128};
  for (int I = 0; I < 6; ++I) {
    R.MEC[I + 1] = static_cast<int8_t>(MEC[I]);
    R.MAR[I + 1] = static_cast<int8_t>(MAR[I]);
  }
  R.FCS = 'S';
  TAMPTEXT A;
  A.LEN = static_cast<uint8_t>(AMPDIGITS(-R.AMP, A.C));
  TROWTEXT T;
  MAKEROWTEXT(T, R, A);
  EXPECT_EQ(T.FLAGS, AMPNEG | CODESINE);
  TLINEEND WITH, WITHOUT;
  PERIODLINEEND(WITH, -11.8625_EXT, 7);
  PLAINLINEEND(WITHOUT);
  char O[2 * MAXROWTEXT];
  const std::string BODY = "  3  5  -2.0506896781179805e-04    6   1   0   3  18 -19  -22   1   0  22   0-128  ";
  char* E = PUTROW(O, PLANETSTEXT(3, 5).C, '-', T, 'C', &WITH);
  EXPECT_EQ(std::string(O, E), BODY + "C   -11.86\r\n");
  E = PUTROW(O, PLANETSTEXT(3, 5).C, '-', T, 'C', nullptr);
  EXPECT_EQ(std::string(O, E), BODY + "C\r\n");
  E = PUTROW(O, PLANETSTEXT(3, 5).C, '-', T, 'C', &WITHOUT);
  EXPECT_EQ(std::string(O, E), BODY + "C\r\n");
}

}  // namespace
