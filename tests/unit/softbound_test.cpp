// The bounds of the software extended type's decimal layers at their
// edges, in every build: the division of the wide integers against long
// division bit by bit; readings at the longest halfway points and at both
// ends of the range, whose exact digits are made here by schoolbook
// arithmetic; exponents past the cap of a run of digits, in texts far
// longer than any exponent's digits.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "testbits.hpp"
#include "undecfld.hpp"
#include "unsoftdec.hpp"

namespace {

using namespace SOFTEXTIMPL;

constexpr uint64_t TOP = uint64_t{1} << 63;

// A number of BITS bits, its limbs random, zero or all ones.
TBIGNUM BIGOF(std::mt19937_64& G, int BITS) {
  TBIGNUM X;
  X.L.resize(static_cast<size_t>(BITS + 31) / 32);
  for (uint32_t& W : X.L) {
    const uint64_t KIND = G() % 4;
    W = KIND == 0 ? 0 : KIND == 1 ? ~uint32_t{0} : static_cast<uint32_t>(G());
  }
  const int T = (BITS - 1) % 32;
  X.L.back() &= T == 31 ? ~uint32_t{0} : (uint32_t{2} << T) - 1;
  X.L.back() |= uint32_t{1} << T;
  return X;
}

// floor(A / B) a bit at a time, A keeping the rest.
U128 LONGDIVISION(TBIGNUM& A, const TBIGNUM& B) {
  U128 Q = 0;
  for (int I = QUOTIENTBITS - 1; I >= 0; --I) {
    TBIGNUM S = B;
    S.SHIFTLEFT(I);
    if (BIGCOMPARE(A, S) >= 0) {
      BIGSUBTRACT(A, S);
      Q |= U128{1} << I;
    }
  }
  return Q;
}

TEST(SoftBounds, BigDivisionAgreesWithLongDivision) {
  std::mt19937_64 G(1860);
  long N = 0;
  for (int K = 0; K < (SANITIZED ? 4000 : 40000); ++K) {
    // Divisors of 1 to 700 bits (often of at most DIVISORBITS bits, or
    // just past it), dividends of as many bits up to 67 more: quotients
    // below 2^68.
    const int BB = K % 4 == 0 ? 1 + static_cast<int>(G() % 64)
                   : K % 4 == 1 ? DIVISORBITS - 2 + static_cast<int>(G() % 6)
                                : 1 + static_cast<int>(G() % 700);
    const TBIGNUM B = BIGOF(G, BB);
    const TBIGNUM A = BIGOF(G, BB + static_cast<int>(G() % QUOTIENTBITS));
    TBIGNUM R1 = A, R2 = A;
    const U128 Q1 = BIGDIVIDE(R1, B), Q2 = LONGDIVISION(R2, B);
    ASSERT_TRUE(Q1 == Q2 && BIGCOMPARE(R1, R2) == 0) << "case " << K << ", divisor of " << BB << " bits";
    ++N;
  }
  std::printf("[ compared ] divisions %ld\n", N);
}

// The decimal digits of M * F^K, by schoolbook in base 10^9.
std::string DECIMALOF(U128 M, uint64_t F, int K) {
  constexpr uint64_t BASE = 1000000000;
  std::vector<uint64_t> D;  // least significant first
  for (; M != 0; M /= BASE) D.push_back(static_cast<uint64_t>(M % BASE));
  for (; K > 0; --K) {
    uint64_t C = 0;
    for (uint64_t& X : D) {
      const uint64_t T = X * F + C;
      X = T % BASE;
      C = T / BASE;
    }
    if (C != 0) D.push_back(C);
  }
  std::string S = std::to_string(D.back());
  for (size_t I = D.size() - 1; I-- > 0;) {
    const std::string C = std::to_string(D[I]);
    S += std::string(9 - C.size(), '0') + C;
  }
  return S;
}

// The exact text of N * 10^-E, N its decimal digits; and the same with
// its last digit lowered by one, or with a one far behind it.
std::string SCIENTIFIC(const std::string& N, long E) {
  return N.substr(0, 1) + "." + N.substr(1) + "e" + std::to_string(static_cast<long>(N.size()) - 1 - E);
}
std::string LOWERED(std::string N, long E) {
  N.back() = static_cast<char>(N.back() - 1);
  return SCIENTIFIC(N, E);
}
std::string RAISED(const std::string& N, long E) {
  return SCIENTIFIC(N + std::string(200, '0') + "1", E + 201);
}

void READSAS(const std::string& F, TSOFTEXT WANT) {
  TSOFTEXT V{};
  ASSERT_TRUE(SOFTEXTREAD(F, V)) << F.substr(0, 40);
  EXPECT_TRUE(V.MANT == WANT.MANT && V.SE == WANT.SE)
      << F.substr(0, 40) << "... (" << F.size() << " characters): " << std::hex << V.SE << ":" << V.MANT
      << ", not " << WANT.SE << ":" << WANT.MANT;
#if X87HERE
  long double H = std::strtold(F.c_str(), nullptr);  // the oracle agrees with what is wanted
  EXPECT_EQ(std::memcmp(&H, &WANT, 10), 0) << F.substr(0, 40);
#endif
  const std::string NEG = "-" + F;
  ASSERT_TRUE(SOFTEXTREAD(NEG, V));
  EXPECT_TRUE(V.MANT == WANT.MANT && V.SE == (WANT.SE ^ 0x8000)) << NEG.substr(0, 40);
}

// The halfway points with the most digits, MAXDIGITS: each read as a tie
// must keep every digit (one fewer reads as below the point). Then the
// two ends of the range: half the least subnormal, and the largest value
// plus half its last place, each exactly, a little below and a little
// above; and numbers whose decade alone decides.
TEST(SoftBounds, ReadingsAtTheLongestHalfwayPointsAndTheEnds) {
  constexpr long E = 16446;  // m * 2^-16446 = m * 5^16446 * 10^-16446
  const U128 M1 = (U128{1} << 65) - 1;  // between 2^64 - 1 (odd) and 2^64: up to even
  const std::string N1 = DECIMALOF(M1, 5, E);
  EXPECT_LE(static_cast<long long>(N1.size()), MAXDIGITS);  // every digit kept
  READSAS(SCIENTIFIC(N1, E), TSOFTEXT::OFBITS(TOP, 2));
  READSAS(LOWERED(N1, E), TSOFTEXT::OFBITS(~uint64_t{0}, 1));
  READSAS(RAISED(N1, E), TSOFTEXT::OFBITS(TOP, 2));
  const U128 M2 = (U128{1} << 65) - 3;  // between 2^64 - 2 (even) and 2^64 - 1: down to even
  const std::string N2 = DECIMALOF(M2, 5, E);
  READSAS(SCIENTIFIC(N2, E), TSOFTEXT::OFBITS(~uint64_t{1}, 1));
  READSAS(LOWERED(N2, E), TSOFTEXT::OFBITS(~uint64_t{1}, 1));
  READSAS(RAISED(N2, E), TSOFTEXT::OFBITS(~uint64_t{0}, 1));

  const std::string UNDER = DECIMALOF(1, 5, E);  // 2^-16446: ties down to zero
  READSAS(SCIENTIFIC(UNDER, E), TSOFTEXT::OFBITS(0, 0));
  READSAS(LOWERED(UNDER, E), TSOFTEXT::OFBITS(0, 0));
  READSAS(RAISED(UNDER, E), SOFTEXTMINSUB);
  const std::string OVER = DECIMALOF(M1, 2, 16383 - 64);  // ties up to 2^16384: infinity
  READSAS(OVER, SOFTEXTINF);
  READSAS(LOWERED(OVER, 0), SOFTEXTMAX);
  READSAS(RAISED(OVER, 0), SOFTEXTINF);

  const std::string TEN = std::to_string(SCIOVER + 1), TENTH = std::to_string(SCIUNDER - 1);
  READSAS("1e" + TEN, SOFTEXTINF);
  READSAS("0.00001e" + std::to_string(SCIOVER + 6), SOFTEXTINF);
  READSAS("9." + std::string(30, '9') + "e" + TENTH, TSOFTEXT::OFBITS(0, 0));
  READSAS("2e" + std::to_string(SCIUNDER), SOFTEXTMINSUB);
}

TEST(SoftBounds, DigitRunsSaturateAtTheCap) {
  std::mt19937_64 G(1846);
  for (int K = 0; K < 20000; ++K) {
    std::string F(1 + G() % 40, '0');
    for (char& C : F) C = static_cast<char>('0' + G() % 10);
    U128 X = 0;
    for (char C : F) X = X < DIGITSCAP ? X * 10 + static_cast<U128>(C - '0') : X;
    size_t I = 0;
    const long long V = DIGITSVALUE(F + "e", I);
    ASSERT_EQ(I, F.size()) << F;
    ASSERT_EQ(V, X < DIGITSCAP ? static_cast<long long>(X) : DIGITSCAP) << F;
  }
}

// A saturated exponent still puts a number beyond the range when the point
// stands a billion digits away from its significant digits: such texts
// come out as zero and infinity, not as a number of ordinary size (a cap
// of 10^9 read these as 10^-10 and 10^10). The readers of unreagen share
// the cap (DIGITSVALUE), and their exact path is the C library's, or this
// reading.
TEST(SoftBounds, SaturatedExponentsDecideInGigabyteTexts) {
  if (EMULATED) GTEST_SKIP() << "a gigabyte text takes minutes under the emulator";
  constexpr size_t ZEROS = 1000000000;
  std::string F;
  F.reserve(ZEROS + 20);
  F += "1";
  F.append(ZEROS, '0');
  F += "e-10000000100";  // 10^(10^9 - 10000000100)
  TSOFTEXT V{};
  ASSERT_TRUE(SOFTEXTREAD(F, V));
  EXPECT_TRUE(V.MANT == 0 && V.SE == 0) << std::hex << V.SE << ":" << V.MANT;
  F.replace(0, 2, "0.");
  F.replace(ZEROS + 1, std::string::npos, "1e10000000100");  // 10^(10000000100 - 10^9 - 1)
  ASSERT_TRUE(SOFTEXTREAD(F, V));
  EXPECT_TRUE(V.MANT == TOP && V.SE == 0x7FFF) << std::hex << V.SE << ":" << V.MANT;
}

}  // namespace
