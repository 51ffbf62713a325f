// The row line: the cells of the exponents and multipliers, one whole line
// put together from its parts, the row text made from a row's fields
// against the same text made the plain way, and the packing of its digits.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "testbits.hpp"
#include "unallvar.hpp"
#include "unforstr.hpp"
#include "unfuline.hpp"
#include "unrowini.hpp"
#include "untxtout.hpp"

namespace {

// The fields of R as the series cache keeps them: the amplitude text as
// the reader gives it, AMPDIGITS of the value.
TROWFIELDS FIELDSOF(const TROWVAR& R) {
  TAMPTEXT A;
  A.LEN = static_cast<uint8_t>(AMPDIGITS(R.AMP, A.C));
  TROWFIELDS P;
  MAKEFIELDS(P, R, A);
  return P;
}

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
  const TROWFIELDS P = FIELDSOF(R);
  EXPECT_EQ(P.FLAGS, AMPNEG | CODESINE);
  TLINEEND WITH, WITHOUT;
  PERIODLINEEND(WITH, -11.8625_EXT, 7);
  PLAINLINEEND(WITHOUT);
  char O[2 * MAXROWTEXT];
  const std::string BODY = "  3  5  -2.0506896781179805e-04    6   1   0   3  18 -19  -22   1   0  22   0-128  ";
  char* E = PUTROW(O, PLANETSTEXT(3, 5).C, '-', P, 'C', &WITH);
  EXPECT_EQ(std::string(O, E), BODY + "C   -11.86\r\n");
  E = PUTROW(O, PLANETSTEXT(3, 5).C, '-', P, 'C', nullptr);
  EXPECT_EQ(std::string(O, E), BODY + "C\r\n");
  E = PUTROW(O, PLANETSTEXT(3, 5).C, '-', P, 'C', &WITHOUT);
  EXPECT_EQ(std::string(O, E), BODY + "C\r\n");
}

// The row text from the fields is the plain one, for amplitudes over the
// whole extended range (zero, subnormals, exponents of one to four digits,
// the largest values) and any exponents and multipliers; nothing is
// written past MAXROWTEXT.
TEST(RowLine, TextFromFieldsIsThePlainText) {
  RECNULLO();
  std::mt19937_64 G(11);
  TROWVAR R = RECNUL;
  const long COUNT = SANITIZED ? 10000 : 100000;
  for (long K = 0; K < COUNT; ++K) {
    switch (K % 4) {
      case 0:  // the usual decades
        R.AMP = FROMBITS(G(), 0x3FFF - static_cast<int>(G() % 70), false);
        break;
      case 1:  // any finite bit pattern
        R.AMP = FROMBITS(G(), static_cast<int>(G() % 0x7FFF), false);
        break;
      case 2:  // near the ends of the range
        R.AMP = FROMBITS(G(), static_cast<int>(G() % 80) + (G() % 2 ? 0 : 0x7FFE - 79), false);
        break;
      default:  // powers of ten and zero
        R.AMP = K % 8 == 3 ? 0.0_EXT : LIBRARYREAD("1e" + std::to_string(static_cast<int>(G() % 9800) - 4900));
    }
    if (G() % 2) R.AMP = -R.AMP;
    for (int I = 1; I <= 6; ++I) {
      R.MEC[I] = static_cast<int8_t>(G());
      R.MAR[I] = static_cast<int8_t>(G());
    }
    R.FCS = G() % 2 ? 'S' : 'C';
    const TROWFIELDS P = FIELDSOF(R);
    char O[MAXROWTEXT + 16];
    std::memset(O, '#', sizeof O);
    char* E = PUTROW(O, PLANETSTEXT(1, 2).C, ' ', P, R.FCS, nullptr);
    const std::string WANT = std::string("  1  2   ") + PLAINROWTEXT(R) + R.FCS + "\r\n";
    ASSERT_EQ(std::string(O, E), WANT) << "amplitude " << HEXOF(R.AMP);
    ASSERT_EQ(O[MAXROWTEXT], '#');
    ASSERT_EQ(P.FLAGS, (EXTSIGNBIT(R.AMP) ? AMPNEG : 0) | (R.FCS == 'S' ? CODESINE : 0));
  }
}

// The digits of the amplitude text packed four bits each and back: the
// vector form, where the processor has one, against the plain form that
// other processors use, on every digit in every place.
TEST(RowLine, DigitPackingIsThePlainOne) {
  std::mt19937_64 G(12);
  char D[17] = {}, BACK[17] = {}, PLAIN[17] = {};
  for (int K = 0; K < 20000; ++K) {
    for (int I = 0; I < 16; ++I) D[I] = static_cast<char>('0' + (K < 160 ? (I == K / 10 ? K % 10 : 0) : G() % 10));
    const uint64_t F = PACKDIGITS(D);
    ASSERT_EQ(F, PACKDIGITSPLAIN(D)) << D;
    for (int I = 0; I < 16; ++I) ASSERT_EQ((F >> (4 * I)) & 15, static_cast<uint64_t>(D[I] - '0')) << D;
    UNPACKDIGITS(BACK, F);
    UNPACKDIGITSPLAIN(PLAIN, F);
    ASSERT_STREQ(BACK, D);
    ASSERT_STREQ(PLAIN, D);
  }
}

}  // namespace
