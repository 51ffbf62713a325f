// Number texts: zero-padded bytes, the amplitude text (FLOATWITHPOWER,
// AMPDIGITS) and fixed point (FIXEDTEXT), checked against an exact decimal
// expansion of the binary value made here with integer arithmetic alone.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "testbits.hpp"
#include "unforstr.hpp"

namespace {

constexpr uint64_t TOP = uint64_t{1} << 63;

// |E| as the exact decimal DIGITS * 10^-SCALE (DIGITS without leading
// zeros, "0" for zero).
struct TEXACT {
  bool NEG;
  std::string DIGITS;
  long SCALE;
};

TEXACT EXACTOF(TEXTENDED E) {
  unsigned char B[16] = {};
  std::memcpy(B, &E, 10);
  uint64_t M;
  std::memcpy(&M, B, 8);
  int EXPFIELD = (B[8] | (B[9] << 8)) & 0x7FFF;
  bool NEG = (B[9] & 0x80) != 0;
  // value = M * 2^P
  long P = (EXPFIELD == 0 ? 1 : EXPFIELD) - 16383 - 63;
  // Base 10^9 limbs, least significant first.
  std::vector<uint64_t> L;
  for (uint64_t X = M; X != 0; X /= 1000000000) L.push_back(X % 1000000000);
  auto MUL = [&L](uint64_t F) {
    uint64_t C = 0;
    for (uint64_t& D : L) {
      uint64_t T = D * F + C;
      D = T % 1000000000;
      C = T / 1000000000;
    }
    while (C != 0) {
      L.push_back(C % 1000000000);
      C /= 1000000000;
    }
  };
  long SCALE = 0;
  if (P >= 0) {
    for (long K = P; K > 0; K -= 29) MUL(uint64_t{1} << (K < 29 ? K : 29));
  } else {
    // M * 2^P = M * 5^-P / 10^-P
    SCALE = -P;
    for (long K = -P; K > 0; K -= 13) {
      uint64_t F = 1;
      for (long I = 0; I < (K < 13 ? K : 13); ++I) F *= 5;
      MUL(F);
    }
  }
  std::string S;
  if (L.empty()) return {NEG, "0", 0};
  S = std::to_string(L.back());
  char T[16];
  for (size_t I = L.size() - 1; I-- > 0;) {
    std::snprintf(T, sizeof T, "%09llu", static_cast<unsigned long long>(L[I]));
    S += T;
  }
  return {NEG, S, SCALE};
}

// The first KEEP digits of S rounded to nearest, ties to even, on the rest;
// true when the rounding carried out of the first digit (S then one longer).
bool ROUNDDIGITS(std::string& S, long KEEP) {
  std::string REST = KEEP < static_cast<long>(S.size()) ? S.substr(static_cast<size_t>(KEEP)) : "";
  S.resize(static_cast<size_t>(KEEP), '0');
  if (REST.empty() || REST[0] < '5') return false;
  bool TIE = REST[0] == '5' && REST.find_first_not_of('0', 1) == std::string::npos;
  if (TIE && (S.empty() || (S.back() - '0') % 2 == 0)) return false;
  for (size_t I = S.size(); I-- > 0;) {
    if (S[I] != '9') {
      ++S[I];
      return false;
    }
    S[I] = '0';
  }
  S.insert(S.begin(), '1');
  return true;
}

// The amplitude text of E with D significant digits: sign place, digits,
// exponent of at least two digits.
std::string EXPECTEDAMP(TEXTENDED E, int D) {
  TEXACT X = EXACTOF(E);
  std::string R = X.NEG ? "-" : " ";
  long EXP10 = 0;
  std::string S = X.DIGITS;
  if (S != "0") {
    EXP10 = static_cast<long>(S.size()) - 1 - X.SCALE;
    if (ROUNDDIGITS(S, D)) {
      ++EXP10;
      S.pop_back();
    }
  } else {
    S.assign(static_cast<size_t>(D), '0');
  }
  R += S.substr(0, 1) + "." + S.substr(1);
  char T[32];
  std::snprintf(T, sizeof T, "e%c%02ld", EXP10 < 0 ? '-' : '+', EXP10 < 0 ? -EXP10 : EXP10);
  return R + T;
}

// E rounded to 2 decimals, ties to even, sign kept.
std::string EXPECTEDFIXED(TEXTENDED E, int W) {
  TEXACT X = EXACTOF(E);
  std::string S = X.DIGITS;
  // S * 10^-SCALE; keep the digits down to the hundredths.
  if (X.SCALE <= 2) {
    S.append(static_cast<size_t>(2 - X.SCALE), '0');
  } else {
    long KEEP = static_cast<long>(S.size()) - (X.SCALE - 2);
    if (KEEP < 0) {
      S.insert(0, static_cast<size_t>(-KEEP), '0');
      KEEP = 0;
    }
    ROUNDDIGITS(S, KEEP);
  }
  size_t NZ = S.find_first_not_of('0');
  S = NZ == std::string::npos ? "0" : S.substr(NZ);
  if (S.size() < 3) S.insert(0, 3 - S.size(), '0');
  std::string R = std::string(X.NEG ? "-" : "") + S.substr(0, S.size() - 2) + "." + S.substr(S.size() - 2);
  if (static_cast<int>(R.size()) < W) R.insert(0, static_cast<size_t>(W) - R.size(), ' ');
  return R;
}


TEST(NumberTexts, OracleAgreesWithKnownExpansions) {
  EXPECT_EQ(EXPECTEDAMP(0.5_EXT, 17), " 5.0000000000000000e-01");
  EXPECT_EQ(EXPECTEDAMP(-1234.5_EXT, 17), "-1.2345000000000000e+03");
  EXPECT_EQ(EXPECTEDAMP(NEXTTOWARD(0.0_EXT, 1.0_EXT), 17), " 3.6451995318824746e-4951");
  EXPECT_EQ(EXPECTEDAMP(FROMBITS(TOP, 16383 + 100, false), 17), " 1.2676506002282294e+30");
  EXPECT_EQ(EXPECTEDFIXED(0.125_EXT, 7), "   0.12");
  EXPECT_EQ(EXPECTEDFIXED(-0.001_EXT, 7), "  -0.00");
}

TEST(NumberTexts, ByteWithLeadingZeros) {
  EXPECT_EQ(BYTETOFIXSTR(1, 2), "01");
  EXPECT_EQ(BYTETOFIXSTR(8, 2), "08");
  EXPECT_EQ(BYTETOFIXSTR(27, 2), "27");
  EXPECT_EQ(BYTETOFIXSTR(0, 2), "00");
  EXPECT_EQ(BYTETOFIXSTR(200, 2), "200");
  EXPECT_EQ(BYTETOFIXSTR(255, 2), "255");
  EXPECT_EQ(BYTETOFIXSTR(7, 0), "7");
  EXPECT_EQ(BYTETOFIXSTR(0, 0), "0");
  EXPECT_EQ(BYTETOFIXSTR(123, 0), "123");
  EXPECT_EQ(BYTETOFIXSTR(5, 4), "0005");
  for (int W = 0; W <= 99; ++W) {
    std::string S = BYTETOFIXSTR(static_cast<uint8_t>(W), 2);
    ASSERT_EQ(S.size(), 2u) << W;
    EXPECT_EQ(S.find(' '), std::string::npos) << W;
    EXPECT_EQ(std::stoi(S), W);
  }
}

TEST(NumberTexts, AmplitudeTextLayout) {
  EXPECT_EQ(FLOATWITHPOWER(0.5_EXT, 26), "  5.0000000000000000e-01");
  EXPECT_EQ(FLOATWITHPOWER(0.0_EXT, 26), "  0.0000000000000000e+00");
  EXPECT_EQ(FLOATWITHPOWER(-1234.5_EXT, 26), " -1.2345000000000000e+03");
  EXPECT_EQ(FLOATWITHPOWER(-0.0_EXT, 26), " -0.0000000000000000e+00");
  EXPECT_EQ(FLOATWITHPOWER(1.0_EXT, 26), "  1.0000000000000000e+00");
  EXPECT_EQ(FLOATWITHPOWER(9.5_EXT, 26), "  9.5000000000000000e+00");
  EXPECT_EQ(FLOATWITHPOWER(1.0_EXT / 3.0_EXT, 26), "  3.3333333333333333e-01");
  EXPECT_EQ(FLOATWITHPOWER(-2.0_EXT / 3.0_EXT, 26), " -6.6666666666666667e-01");
  EXPECT_EQ(FLOATWITHPOWER(1e99_EXT, 26), "  1.0000000000000000e+99");
  EXPECT_EQ(FLOATWITHPOWER(1e-99_EXT, 26), "  1.0000000000000000e-99");
  // Rounding that carries into a new leading digit.
  EXPECT_EQ(FLOATWITHPOWER(9.99999999999999999_EXT, 26), "  1.0000000000000000e+01");

  std::mt19937_64 G(20240601);
  for (int I = 0; I < 2000; ++I) {
    TEXTENDED E = FROMBITS(G(), 16383 + static_cast<int>(G() % 655) - 327, false);
    std::string P = FLOATWITHPOWER(E, 26), N = FLOATWITHPOWER(-E, 26);
    int X = std::atoi(P.c_str() + 21);
    if (X < -99 || X > 99) continue;
    ASSERT_EQ(P.size(), 24u) << P;
    EXPECT_EQ(P[0], ' ');
    EXPECT_EQ(P[1], ' ');
    EXPECT_EQ(P[3], '.');
    EXPECT_EQ(P[20], 'e') << P;
    EXPECT_TRUE(P[21] == '+' || P[21] == '-') << P;
    // The positive and the negative text differ at the sign place alone.
    ASSERT_EQ(N.size(), 24u);
    EXPECT_EQ(N[1], '-');
    EXPECT_EQ(N.substr(2), P.substr(2));
    EXPECT_EQ(N[0], ' ');
  }
}

TEST(NumberTexts, AmplitudeDigitsAreCorrectlyRounded) {
  // Exact ties at the 18th digit: integers below 2^64 are exact.
  for (uint64_t V : {uint64_t{1234567890123456750}, uint64_t{1234567890123456650},
                     uint64_t{123456789012345675}, uint64_t{123456789012345665},
                     (uint64_t{1} << 60) + 74, (uint64_t{1} << 60) + 174,
                     uint64_t{9999999999999999950u},
                     uint64_t{18446744073709551250u}}) {
    ASSERT_EQ(LIBRARYFIXED(TEXTENDED(V), 0, 0), std::to_string(V)) << "not exact";
  }
  EXPECT_EQ(FLOATWITHPOWER(1234567890123456750.0_EXT, 26), "  1.2345678901234568e+18");
  EXPECT_EQ(FLOATWITHPOWER(1234567890123456650.0_EXT, 26), "  1.2345678901234566e+18");
  EXPECT_EQ(FLOATWITHPOWER(123456789012345675.0_EXT, 26), "  1.2345678901234568e+17");
  EXPECT_EQ(FLOATWITHPOWER(-123456789012345665.0_EXT, 26), " -1.2345678901234566e+17");
  EXPECT_EQ(FLOATWITHPOWER(9999999999999999950.0_EXT, 26), "  1.0000000000000000e+19");
  // 2^60 + 74 = 1152921504606847050 and 2^60 + 174 = 1152921504606847150:
  // ties that go down to the even 0 and up to the even 2.
  EXPECT_EQ(FLOATWITHPOWER(TEXTENDED((uint64_t{1} << 60) + 74), 26),
            "  1.1529215046068470e+18");
  EXPECT_EQ(FLOATWITHPOWER(TEXTENDED((uint64_t{1} << 60) + 174), 26),
            "  1.1529215046068472e+18");
  // Just above a tie rounds up even when the kept digit is even.
  EXPECT_EQ(FLOATWITHPOWER(1234567890123456651.0_EXT, 26), "  1.2345678901234567e+18");
  // 2^-55 = 2.77555756156289135105907917022705078125e-17 exactly.
  EXPECT_EQ(FLOATWITHPOWER(FROMBITS(TOP, 16383 - 55, false), 26), "  2.7755575615628914e-17");

  // Random values of all magnitudes against the exact expansion.
  std::mt19937_64 G(77);
  for (int I = 0; I < 400; ++I) {
    int X = I < 300 ? 16383 + static_cast<int>(G() % 700) - 350 : static_cast<int>(G() % 32767);
    TEXTENDED E = FROMBITS(G(), X, (G() & 1) != 0);
    std::string T = FLOATWITHPOWER(E, 26);
    std::string W = EXPECTEDAMP(E, 17);
    ASSERT_EQ(T, " " + W)
        << "bits exponent " << X;
    char B[40];
    int N = AMPDIGITS(EXTABS(E), B);
    EXPECT_EQ(std::string(B, static_cast<size_t>(N)), W.substr(1));
  }
}

TEST(NumberTexts, WideExponentsKeepAllDigits) {
  std::string T = FLOATWITHPOWER(1.5e123_EXT, 26);
  EXPECT_EQ(T, "  1.5000000000000000e+123");
  EXPECT_EQ(T.size(), 25u);
  EXPECT_EQ(FLOATWITHPOWER(-2.5e-100_EXT, 26), " -2.5000000000000000e-100");
  EXPECT_EQ(FLOATWITHPOWER(1e999_EXT, 26).size(), 25u);
  EXPECT_EQ(FLOATWITHPOWER(1e1000_EXT, 26), "  1.0000000000000000e+1000");
  // The smallest subnormal and the largest value.
  const TEXTENDED TINY = FROMBITS(1, 0, false);
  EXPECT_EQ(FLOATWITHPOWER(TINY, 26), "  3.6451995318824746e-4951");
  EXPECT_EQ(FLOATWITHPOWER(-TINY, 26), " -3.6451995318824746e-4951");
  EXPECT_EQ(FLOATWITHPOWER(EXTMAX, 26), "  1.1897314953572318e+4932");
  EXPECT_EQ(FLOATWITHPOWER(FROMBITS(TOP, 1, false), 26), "  3.3621031431120935e-4932");
  char B[40];
  int N = AMPDIGITS(TINY, B);
  EXPECT_EQ(std::string(B, static_cast<size_t>(N)), "3.6451995318824746e-4951");
  N = AMPDIGITS(0.0_EXT, B);
  EXPECT_EQ(std::string(B, static_cast<size_t>(N)), "0.0000000000000000e+00");
}

TEST(NumberTexts, NarrowAmplitudeTexts) {
  EXPECT_EQ(FLOATWITHPOWER(0.5_EXT, 10), " 5.0e-01");
  EXPECT_EQ(FLOATWITHPOWER(-0.96_EXT, 10), "-9.6e-01");
  EXPECT_EQ(FLOATWITHPOWER(0.96_EXT, 10), " 9.6e-01");
  EXPECT_EQ(FLOATWITHPOWER(9.96_EXT, 10), " 1.0e+01");
  EXPECT_EQ(FLOATWITHPOWER(-1234.5_EXT, 15), "-1.234500e+03");
  // 1.25 has an exact expansion: a tie at two digits goes to even.
  EXPECT_EQ(FLOATWITHPOWER(1.25_EXT, 10), " 1.2e+00");
  EXPECT_EQ(FLOATWITHPOWER(-3.75_EXT, 10), "-3.8e+00");
  EXPECT_EQ(FLOATWITHPOWER(1.35_EXT, 10), EXPECTEDAMP(1.35_EXT, 2));
  std::mt19937_64 G(5);
  for (int N = 10; N <= 24; ++N) {
    for (int I = 0; I < 40; ++I) {
      TEXTENDED E = FROMBITS(G(), 16383 + static_cast<int>(G() % 600) - 300, (G() & 1) != 0);
      std::string T = FLOATWITHPOWER(E, static_cast<uint8_t>(N));
      std::string W = EXPECTEDAMP(E, N - 8);
      ASSERT_EQ(T, W) << "width " << N;
      ASSERT_EQ(T.size(), static_cast<size_t>(N - 2));
    }
  }
}

TEST(NumberTexts, FixedPointWithTwoDecimals) {
  EXPECT_EQ(FIXEDTEXT(1.0_EXT, 7), "   1.00");
  EXPECT_EQ(FIXEDTEXT(-997.5149_EXT, 8), " -997.51");
  EXPECT_EQ(FIXEDTEXT(-0.001_EXT, 7), "  -0.00");
  EXPECT_EQ(FIXEDTEXT(-0.0_EXT, 7), "  -0.00");
  EXPECT_EQ(FIXEDTEXT(0.0_EXT, 7), "   0.00");
  EXPECT_EQ(FIXEDTEXT(123456.789_EXT, 8), "123456.79");
  EXPECT_EQ(FIXEDTEXT(-123456.789_EXT, 7), "-123456.79");
  EXPECT_EQ(FIXEDTEXT(0.125_EXT, 7), "   0.12");
  EXPECT_EQ(FIXEDTEXT(0.375_EXT, 7), "   0.38");
  EXPECT_EQ(FIXEDTEXT(-0.125_EXT, 7), "  -0.12");
  EXPECT_EQ(FIXEDTEXT(2.5_EXT / 100.0_EXT, 7), EXPECTEDFIXED(2.5_EXT / 100.0_EXT, 7));
  EXPECT_EQ(FIXEDTEXT(0.995_EXT, 7), EXPECTEDFIXED(0.995_EXT, 7));
  EXPECT_EQ(FIXEDTEXT(99.995_EXT, 6), EXPECTEDFIXED(99.995_EXT, 6));
  EXPECT_EQ(FIXEDTEXT(9.999_EXT, 4), "10.00");
  // The largest value is written in full.
  std::string BIG = FIXEDTEXT(-EXTMAX, 8);
  EXPECT_EQ(BIG.size(), 4937u);
  EXPECT_EQ(BIG, EXPECTEDFIXED(-EXTMAX, 8));

  std::mt19937_64 G(11);
  for (int I = 0; I < 1000; ++I) {
    TEXTENDED E = FROMBITS(G(), 16383 + static_cast<int>(G() % 60) - 30, (G() & 1) != 0);
    int W = 7 + static_cast<int>(G() % 3);
    ASSERT_EQ(FIXEDTEXT(E, W), EXPECTEDFIXED(E, W)) << HEXOF(E);
  }
  // Exact hundredth ties k/8 from the binary side: 0.125, 0.375, 0.625, ...
  for (int K = -40; K <= 40; ++K) {
    const TEXTENDED E = TEXTENDED(K) / 8.0_EXT;
    EXPECT_EQ(FIXEDTEXT(E, 7), EXPECTEDFIXED(E, 7)) << K;
  }
}

constexpr long FIXEDCOUNT = SANITIZED || EMULATED ? 200000 : 2000000;

// FIXEDTEXT writes what it can from an integer count of hundredths and
// leaves the rest to the library: both must agree everywhere, above all at
// ties, at carries and where the integer way ends (|E| * 100 near 2^64).
TEST(NumberTexts, FixedPointAgreesWithTheLibrary) {
  std::mt19937_64 G(23);
  for (long I = 0; I < FIXEDCOUNT; ++I) {
    // 2^-60 .. 2^140: far below a hundredth to far beyond the integer way.
    TEXTENDED E = FROMBITS(G(), 16383 + static_cast<int>(G() % 201) - 60, (G() & 1) != 0);
    int W = 7 + static_cast<int>(G() % 3);
    ASSERT_EQ(FIXEDTEXT(E, W), LIBRARYFIXED(E, W, 2)) << HEXOF(E);
  }
  // Exact ties are the odd multiples of 1/8; with their neighbours.
  for (long I = 0; I < FIXEDCOUNT / 10; ++I) {
    uint64_t M = (G() >> (G() % 64)) | 1;
    TEXTENDED T = TEXTENDED(M) / 8.0_EXT;
    if ((G() & 1) != 0) T = -T;
    for (TEXTENDED E : {T, NEXTTOWARD(T, 0.0_EXT), NEXTTOWARD(T, T * 2.0_EXT)})
      ASSERT_EQ(FIXEDTEXT(E, 8), LIBRARYFIXED(E, 8, 2)) << HEXOF(E);
  }
  // Where |E| * 100 reaches 2^64, in steps of one value either way.
  const TEXTENDED EDGE = 18446744073709551616.0_EXT / 100.0_EXT;
  for (TEXTENDED E : {EDGE, -EDGE}) {
    TEXTENDED UP = E, DOWN = E;
    for (int K = 0; K < 2000; ++K) {
      ASSERT_EQ(FIXEDTEXT(UP, 8), LIBRARYFIXED(UP, 8, 2));
      ASSERT_EQ(FIXEDTEXT(DOWN, 8), LIBRARYFIXED(DOWN, 8, 2));
      UP = NEXTTOWARD(UP, 2.0_EXT * UP);
      DOWN = NEXTTOWARD(DOWN, 0.0_EXT);
    }
  }
  // Carries into a new digit, zeros of both signs, the smallest values.
  for (TEXTENDED E : {9.995_EXT, 99.995_EXT, 999999.995_EXT, 0.005_EXT, -0.005_EXT, 0.0049999_EXT, 0.0_EXT, -0.0_EXT,
                      FROMBITS(1, 0, false), FROMBITS(1, 0, true), FROMBITS(TOP, 1, false), 1e17_EXT, 1.8e17_EXT,
                      1.9e17_EXT})
    EXPECT_EQ(FIXEDTEXT(E, 7), LIBRARYFIXED(E, 7, 2)) << HEXOF(E);
}

}  // namespace
