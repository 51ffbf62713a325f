// Decimal input: the fast conversion of READREAL against the C library's
// correctly rounded one, the digit text it hands back, READINT, and the
// round trip amplitude text -> value -> text.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "testbits.hpp"
#include "unforstr.hpp"
#include "unreanum.hpp"

namespace {

// The value by READREAL and by the C library's reading (LIBRARYREAD); both
// agree on acceptance, give the same bits, and any digit text is the
// amplitude text of the value.
// Returns 1 when a digit text came back.
int CHECKFIELD(const std::string& F) {
  TEXTENDED A = -7.0_EXT, B = -7.0_EXT;
  char D[40];
  int N = -1;
  bool OK = READREAL(F, A, D, &N);
  bool OKX = READREALEXACT(F, B);
  EXPECT_EQ(OK, OKX) << F;
  if (!OK || !OKX) {
    EXPECT_EQ(N, 0) << F;
    return 0;
  }
  const TEXTENDED C = LIBRARYREAD(F);
  EXPECT_TRUE(SAMEBITS(B, C)) << F;
  EXPECT_TRUE(SAMEBITS(A, C)) << F << ": " << HEXOF(A) << " against " << HEXOF(C);
  if (N > 0) {
    char W[40];
    int M = AMPDIGITS(EXTABS(A), W);
    EXPECT_EQ(std::string(D, static_cast<size_t>(N)), std::string(W, static_cast<size_t>(M))) << F;
    return 1;
  }
  EXPECT_EQ(N, 0) << F;
  return 0;
}

// A random decimal field: sign, significant digits with the point anywhere
// (leading and trailing zeros too), exponent in several spellings.
std::string RANDOMFIELD(std::mt19937_64& G) {
  auto PICK = [&G](int N) { return static_cast<int>(G() % static_cast<uint64_t>(N)); };
  std::string S;
  switch (PICK(4)) {
    case 0: S += '-'; break;
    case 1: S += '+'; break;
    default: break;
  }
  int NDIG = 1 + PICK(25);
  if (PICK(4) == 0) NDIG = 15 + PICK(6);  // around the 17/19 digit limits
  std::string DIG;
  for (int I = 0; I < PICK(3) * PICK(4); ++I) DIG += '0';
  DIG += static_cast<char>('1' + PICK(9));
  for (int I = 1; I < NDIG; ++I) DIG += static_cast<char>('0' + PICK(10));
  if (PICK(3) == 0) DIG.append(static_cast<size_t>(PICK(6)), '0');
  int P = PICK(static_cast<int>(DIG.size()) + 2);  // point position; size+1: none
  if (P <= static_cast<int>(DIG.size())) DIG.insert(static_cast<size_t>(P), 1, '.');
  S += DIG;
  int FORM = PICK(8);
  if (FORM == 0) return S;
  long X;
  if (FORM <= 5)
    X = PICK(81) - 40;
  else if (FORM == 6)
    X = PICK(9901) - 4950;
  else
    X = PICK(801) - 400;
  S += PICK(2) == 0 ? 'e' : 'E';
  if (X < 0)
    S += '-';
  else if (PICK(2) == 0)
    S += '+';
  if (PICK(5) == 0) S += "00";
  S += std::to_string(X < 0 ? -X : X);
  return S;
}

TEST(DecimalInput, FixedFormsAgreeWithTheLibrary) {
  for (const char* F :
       {"1.5e3", ".5", "5.", "+1E-3", "-0", "0", "-0.0", "+.0e0", "000123.4500", "0.000000000000000000001",
        "1", "10", "1e27", "1e28", "1e-27", "1e-28", "9999999999999999999", "99999999999999999999",
        "18446744073709551615", "18446744073709551616", "1.8446744073709551615e19",
        "12345678901234567", "123456789012345678", "1234567890123456789", "0.1", "0.2", "0.3",
        "2.5", "1e4932", "1.18973149535723176502e4932", "1.18973149535723176505e4932",
        "3.6451995318824746e-4951", "1.8225997659412373e-4951", "1.8225997659412374e-4951",
        "1e-4951", "1e-4952", "-1e-99999", "1e-99999", "3.3621031431120935e-4932",
        "1e000000000000000000000000001", "0e999999999999999999", "0.0000e-999999999999",
        "4.9125474514500000e-11", "-2.0506896781179805e-04", "00000000000000000000000000001",
        "1.00000000000000000000000000000000000000000000000001"}) {
    CHECKFIELD(F);
  }
  TEXTENDED V;
  ASSERT_TRUE(READREAL("-0", V));
  EXPECT_TRUE(EXTSIGNBIT(V));
  ASSERT_TRUE(READREAL("-1e-99999", V));
  EXPECT_TRUE(SAMEBITS(V, -0.0_EXT));
  ASSERT_TRUE(READREAL("1e-99999", V));
  EXPECT_TRUE(SAMEBITS(V, 0.0_EXT));
  ASSERT_TRUE(READREAL("3.6451995318824746e-4951", V));
  EXPECT_TRUE(SAMEBITS(V, FROMBITS(1, 0, false)));
  ASSERT_TRUE(READREAL("0.1", V));
  EXPECT_TRUE(SAMEBITS(V, 0.1_EXT));
  ASSERT_TRUE(READREAL("1.5e3", V));
  EXPECT_EQ(V, 1500.0_EXT);
}

TEST(DecimalInput, InvalidFormsAreRejectedByBoth) {
  for (const char* F : {"", "+", "-", ".", "+.", "-.e1", "e5", ".e5", "1e", "1e+", "1e-", "1.5.2", "1..5",
                        "1,5", " 1", "1 ", "\t1", "inf", "-inf", "INF", "nan", "NaN", "infinity",
                        "0x1p3", "0x10", "0X1", "1.5S", "--1", "+-1", "-+1", "1e5.0", "1e+-5", "1d5",
                        "1f", "1L", "1e99999", "-1e99999", "1.2e4932", "1e4933", "12e",
                        "1e9999999999999999999999", "1_000", "٣"}) {
    TEXTENDED A = 42.0_EXT, B = 42.0_EXT;
    char D[40];
    int N = -1;
    EXPECT_FALSE(READREAL(F, A, D, &N)) << "[" << F << "]";
    EXPECT_FALSE(READREALEXACT(F, B)) << "[" << F << "]";
    EXPECT_EQ(N, 0) << F;
  }
  // A field is exactly the given characters: no terminator is needed.
  std::string S = "2.5e1xyz";
  TEXTENDED V;
  ASSERT_TRUE(READREAL(std::string_view(S).substr(0, 5), V));
  EXPECT_EQ(V, 25.0_EXT);
  ASSERT_TRUE(READREALEXACT(std::string_view(S).substr(0, 5), V));
  EXPECT_EQ(V, 25.0_EXT);
  EXPECT_FALSE(READREAL(std::string_view(S).substr(0, 6), V));
}

TEST(DecimalInput, RandomFieldsGiveTheBitsOfTheLibrary) {
  std::mt19937_64 G(4711);
  int DIGITTEXTS = 0;
  const int COUNT = EMULATED ? 40000 : 200000;
  for (int I = 0; I < COUNT; ++I) {
    std::string F = RANDOMFIELD(G);
    DIGITTEXTS += CHECKFIELD(F);
    if (::testing::Test::HasFailure()) break;
  }
  // The fast path with its digit text is well covered.
  EXPECT_GT(DIGITTEXTS, COUNT / 5);
}

// The form the series files are written in, d.dddddddddddddddde+XX, with
// every exponent the files can hold, trailing zeros, a capital E, a zero
// exponent written "-00", and near misses of the form.
TEST(DecimalInput, WrittenFormAgreesWithTheLibrary) {
  std::mt19937_64 G(99);
  int TEXTS = 0;
  const int COUNT = EMULATED ? 60000 : 300000;
  for (int I = 0; I < COUNT; ++I) {
    const uint64_t R = G();
    char B[64];
    char MB[32];
    std::snprintf(MB, sizeof MB, "%d.%016llu", static_cast<int>(1 + G() % 9),
                  static_cast<unsigned long long>(G() % 10000000000000000ULL));
    std::string M = MB;
    const int TZ = static_cast<int>(R % 20);
    for (int K = 0; K < TZ && K < 16; ++K) M[17 - static_cast<size_t>(K)] = '0';
    const int E = static_cast<int>((R >> 8) % 199) - 99;
    std::snprintf(B, sizeof B, "%s%s%c%c%02d", (R >> 16) & 1 ? "-" : ((R >> 17) & 1 ? "+" : ""), M.c_str(),
                  (R >> 18) & 1 ? 'E' : 'e', E < 0 || (E == 0 && ((R >> 19) & 1)) ? '-' : '+', E < 0 ? -E : E);
    TEXTS += CHECKFIELD(B);
    if (::testing::Test::HasFailure()) break;
  }
  EXPECT_GT(TEXTS, COUNT / 6);
  for (const char* F : {"1.0000000000000000e-00", "-1.0000000000000000E+00", "9.9999999999999999e+27",
                        "9.9999999999999999e+28", "1.2345678901234567e-27", "1.0000000000000000e-28",
                        "1.0000000000000000e+43", "1.0000000000000000e+44", "0.0000000000000000e+00",
                        "0.1234567890123456e+00", "1.234567890123456e+00", "1.23456789012345678e+00",
                        "1.2345678901234567e+0", "1.2345678901234567e+000", "1.2345678901234567d+00",
                        "1,2345678901234567e+00", "1.23456789012345:7e+00", "1.2345678/01234567e+00"}) {
    CHECKFIELD(F);
  }
  char D[40];
  int N = 0;
  TEXTENDED V;
  ASSERT_TRUE(READREAL("-2.5000000000000000E-00", V, D, &N));
  EXPECT_EQ(std::string(D, static_cast<size_t>(N)), "2.5000000000000000e+00");
}

TEST(DecimalInput, DigitTextIsGivenForShortNormalFieldsOnly) {
  char D[40];
  int N = -1;
  TEXTENDED V;
  ASSERT_TRUE(READREAL("-2.0506896781179805e-04", V, D, &N));
  EXPECT_EQ(std::string(D, static_cast<size_t>(N)), "2.0506896781179805e-04");
  ASSERT_TRUE(READREAL("000.5", V, D, &N));
  EXPECT_EQ(std::string(D, static_cast<size_t>(N)), "5.0000000000000000e-01");
  ASSERT_TRUE(READREAL("-0.000", V, D, &N));
  EXPECT_EQ(std::string(D, static_cast<size_t>(N)), "0.0000000000000000e+00");
  ASSERT_TRUE(READREAL("1.234567890123456700", V, D, &N));
  EXPECT_EQ(std::string(D, static_cast<size_t>(N)), "1.2345678901234567e+00");
  // 18 significant digits: no text (the value's own text differs).
  ASSERT_TRUE(READREAL("1.23456789012345678", V, D, &N));
  EXPECT_EQ(N, 0);
  // Below the normal range.
  ASSERT_TRUE(READREAL("1e-4940", V, D, &N));
  EXPECT_EQ(N, 0);
  // Without a DIGITS buffer nothing is written to DIGITSLEN but the zero.
  N = -1;
  ASSERT_TRUE(READREAL("1.5", V, nullptr, &N));
  EXPECT_EQ(N, 0);
}

TEST(DecimalInput, IntegerFields) {
  long long V = -1;
  ASSERT_TRUE(READINT("+5", V));
  EXPECT_EQ(V, 5);
  ASSERT_TRUE(READINT("-0", V));
  EXPECT_EQ(V, 0);
  ASSERT_TRUE(READINT("007", V));
  EXPECT_EQ(V, 7);
  ASSERT_TRUE(READINT("-128", V));
  EXPECT_EQ(V, -128);
  ASSERT_TRUE(READINT("0000000000000000000000000000000000127", V));
  EXPECT_EQ(V, 127);
  ASSERT_TRUE(READINT("74967", V));
  EXPECT_EQ(V, 74967);
  ASSERT_TRUE(READINT("4611686018427387903", V));
  EXPECT_EQ(V, 4611686018427387903LL);
  ASSERT_TRUE(READINT("4611686018427387905", V));
  EXPECT_EQ(V, 1LL << 62);
  ASSERT_TRUE(READINT("-4611686018427387905", V));
  EXPECT_EQ(V, -(1LL << 62));
  for (const char* F : {"1.0", "", "+", "-", "1e2", " 1", "1 ", "0x1", "--1", "+-1", "1-", "12a", "."}) {
    V = 99;
    EXPECT_FALSE(READINT(F, V)) << "[" << F << "]";
  }
}

// Fields of 19 digits and more must saturate to +-2^62. They overflow the
// 64-bit accumulator instead: 9999999999999999999 comes back negative and
// 18446744073709551617 (2^64 + 1) comes back as 1.
TEST(DecimalInput, HugeIntegerFieldsSaturate) {
  const long long CAP = 1LL << 62;
  for (const char* F : {"9999999999999999999", "10000000000000000000", "99999999999999999999",
                        "18446744073709551617", "18446744073709551616", "123456789012345678901234567890"}) {
    long long V = 0;
    ASSERT_TRUE(READINT(F, V)) << F;
    EXPECT_EQ(V, CAP) << F;
    ASSERT_TRUE(READINT(std::string("-") + F, V)) << F;
    EXPECT_EQ(V, -CAP) << F;
  }
}

TEST(DecimalInput, AmplitudeTextRoundTrip) {
  // Random bit patterns: every exponent, subnormals, both signs. The text
  // read back gives the extended value nearest to the printed decimal.
  std::mt19937_64 G(99);
  int SHORT = 0;
  for (int I = 0; I < 20000; ++I) {
    int X;
    if (I % 2 == 0)
      X = static_cast<int>(G() % 32767);
    else if (I % 4 == 1)
      X = 16383 + static_cast<int>(G() % 661) - 330;
    else
      X = static_cast<int>(G() % 70);  // subnormals and the smallest normals
    const TEXTENDED E = FROMBITS(G(), X, (G() & 1) != 0);
    std::string T = FLOATWITHPOWER(E, 26);
    ASSERT_GE(T.size(), 24u);
    ASSERT_EQ(T[0], ' ');
    std::string F = T.substr(T[1] == ' ' ? 2 : 1);
    TEXTENDED R = 0.0_EXT;
    ASSERT_TRUE(READREAL(F, R)) << T;
    const TEXTENDED C = LIBRARYREAD(F);
    ASSERT_TRUE(SAMEBITS(R, C)) << T;
    EXPECT_EQ(EXTSIGNBIT(R), EXTSIGNBIT(E)) << T;
    // The value read is within half a unit of the 17th digit of E.
    if (EXTISNORMAL(E)) {
      const TEXTENDED D = EXTABS(R - E) / EXTABS(E);
      EXPECT_LE(D, 5.1e-17_EXT) << T;
    }
    int EXP10 = std::atoi(T.c_str() + 21);
    if (EXP10 >= -99 && EXP10 <= 99) {
      ++SHORT;
      ASSERT_EQ(T.size(), 24u);
      EXPECT_EQ(FLOATWITHPOWER(R, 26), T) << HEXOF(E);
    }
  }
  EXPECT_GT(SHORT, 5000);
  // Zeros keep their sign.
  for (TEXTENDED Z : {0.0_EXT, -0.0_EXT}) {
    TEXTENDED R = 1.0_EXT;
    ASSERT_TRUE(READREAL(FLOATWITHPOWER(Z, 26).substr(1), R) || READREAL(FLOATWITHPOWER(Z, 26).substr(2), R));
    EXPECT_TRUE(SAMEBITS(R, Z));
  }
  // The text of the largest value is above it by more than half a unit:
  // read back, it is out of range, as for the C library.
  std::string M = FLOATWITHPOWER(EXTMAX, 26).substr(2);
  TEXTENDED R;
  EXPECT_FALSE(READREAL(M, R));
  EXPECT_TRUE(EXTISINF(LIBRARYREAD(M)));
}

}  // namespace
