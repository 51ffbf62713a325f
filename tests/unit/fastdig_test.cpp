// The fast magnitude text (unfastdig) against AMPDIGITS, byte for byte:
// the power table against exact integers; both ends of every binade;
// random bits over the whole exponent range and over the amplitudes' own;
// exact ties at the 17th digit (an 18th digit 5, nothing after) and their
// neighbours; the values nearest to ties, to powers of ten and to a carry
// into the exponent at every scale; the ends of the range. Wherever the
// fast way leaves a normal value to the exact way, the value must lie
// within 10^-18 of its last digit's tie.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "testbits.hpp"
#include "unfastdig.hpp"
#include "unforstr.hpp"

namespace {

constexpr uint64_t TOP = uint64_t{1} << 63;
constexpr int BIAS = 16383;

long COUNT(long N) { return SANITIZED ? N / 20 : N; }

// Values compared and those the fast way left; printed at the end.
struct TTALLY {
  long COMPARED = 0, LEFT = 0;
  int FAILS = 0;
  ~TTALLY() { std::printf("[ compared ] %ld values, %ld left to the exact way\n", COMPARED, LEFT); }
};

// FASTAMPDIGITS(X) and AMPDIGITS(|X|): the same bytes, nothing more
// written. Returns whether the fast way left X to the exact way.
bool CHECK(TTALLY& T, TEXTENDED X) {
  char A[32], B[32], C[32];
  std::memset(A, '#', 32);
  std::memset(B, '#', 32);
  const int NA = AMPDIGITS(EXTABS(X), A);
  const int NB = FASTAMPDIGITS(X, B);
  const bool LEFT = FASTAMPTRY(X, C) == 0;
  ++T.COMPARED;
  T.LEFT += LEFT;
  if ((NA != NB || std::memcmp(A, B, 32) != 0) && ++T.FAILS <= 20)
    ADD_FAILURE() << HEXOF(X) << ": " << std::string(B, static_cast<size_t>(NB)) << " against "
                  << std::string(A, static_cast<size_t>(NA));
  if (LEFT && EXTISNORMAL(X)) {
    // The digits past the 17th: 5 then zeros, or 4 then nines.
    const std::string S = LIBRARYSCIENTIFIC(EXTABS(X), 40);
    const std::string REST = S.substr(18, 18);
    if (REST != "500000000000000000" && REST != "499999999999999999" && ++T.FAILS <= 20)
      ADD_FAILURE() << HEXOF(X) << " left, not near a tie: " << S;
  }
  return LEFT;
}

// C * 2^S (C not zero), exactly.
TEXTENDED SCALED(uint64_t C, int S) {
  const int Z = std::countl_zero(C);
  return FROMBITS(C << Z, BIAS + 63 - Z + S, false);
}

TEXTENDED RANDOMAT(std::mt19937_64& G, int EXPFIELD) { return FROMBITS(G() | TOP, EXPFIELD, (G() & 1) != 0); }

// Natural numbers in 32-bit limbs, least significant first, for the table.
using TBIG = std::vector<uint32_t>;
TBIG TIMES(TBIG A, uint64_t F) {
  unsigned __int128 C = 0;
  for (uint32_t& L : A) {
    C += static_cast<unsigned __int128>(L) * F;
    L = static_cast<uint32_t>(C);
    C >>= 32;
  }
  for (; C != 0; C >>= 32) A.push_back(static_cast<uint32_t>(C));
  return A;
}
TBIG SHIFTED(TBIG A, int N) {
  A.insert(A.begin(), static_cast<size_t>(N / 32), 0);
  return TIMES(A, uint64_t{1} << (N % 32));
}
// A * 2^EA against B * 2^EB: -1, 0 or 1.
int COMPARE(TBIG A, int EA, TBIG B, int EB) {
  if (EA > EB) A = SHIFTED(A, EA - EB);
  if (EB > EA) B = SHIFTED(B, EB - EA);
  while (!A.empty() && A.back() == 0) A.pop_back();
  while (!B.empty() && B.back() == 0) B.pop_back();
  if (A.size() != B.size()) return A.size() < B.size() ? -1 : 1;
  for (size_t I = A.size(); I-- > 0;)
    if (A[I] != B[I]) return A[I] < B[I] ? -1 : 1;
  return 0;
}

}  // namespace

// Each entry W = floor(10^(28 J) * 2^-SHIFT) with W in [2^127, 2^128).
TEST(FastDigits, PowerTableIsTheFloorOfEachPower) {
  auto TIMES28 = [](const TBIG& A) { return TIMES(TIMES(A, 10000000000000000000u), 1000000000); };
  TBIG TEN = {1};  // 10^(28 N)
  for (int N = 0; N <= FASTPOWLAST; ++N, TEN = TIMES28(TEN)) {
    for (int J : {N, -N}) {
      if (J < FASTPOWFIRST) continue;
      const TFASTPOW P = FASTPOWER(J);
      ASSERT_NE(P.POWHI >> 63, 0u) << J;
      TBIG W = {static_cast<uint32_t>(P.POWLO), static_cast<uint32_t>(P.POWLO >> 32),
                static_cast<uint32_t>(P.POWHI), static_cast<uint32_t>(P.POWHI >> 32), 0};
      TBIG W1 = W;  // W + 1
      for (size_t I = 0; ++W1[I] == 0; ++I) {
      }
      if (J >= 0) {  // W * 2^SHIFT <= 10^(28 N) < (W + 1) * 2^SHIFT
        EXPECT_LE(COMPARE(W, P.POWSHIFT, TEN, 0), 0) << J;
        EXPECT_GT(COMPARE(W1, P.POWSHIFT, TEN, 0), 0) << J;
      } else {  // W * 10^(28 N) * 2^SHIFT <= 1 < (W + 1) * 10^(28 N) * 2^SHIFT
        for (int K = 0; K < N; ++K) {
          W = TIMES28(W);
          W1 = TIMES28(W1);
        }
        EXPECT_LE(COMPARE(W, P.POWSHIFT, {1}, 0), 0) << J;
        EXPECT_GT(COMPARE(W1, P.POWSHIFT, {1}, 0), 0) << J;
      }
    }
  }
}

// The least and the greatest significand of every binade, where a wrong
// decimal exponent of the binade would show (and be left to the exact way
// though not near a tie), and their neighbours within the binade.
TEST(FastDigits, BothEndsOfEveryBinade) {
  TTALLY T;
  for (int F = 1; F < 0x7FFF; F += SANITIZED ? 7 : 1) {
    CHECK(T, FROMBITS(TOP, F, F % 2 == 0));
    CHECK(T, FROMBITS(~uint64_t{0}, F, F % 3 == 0));
    CHECK(T, FROMBITS(TOP + 1, F, false));
    CHECK(T, FROMBITS(~uint64_t{1}, F, true));
  }
}

// Random significands with every exponent field (zeros, subnormals,
// infinities and NaNs too), and over the amplitudes' range, about 1e-66 to
// 1e12.
TEST(FastDigits, RandomBitsOverTheWholeRange) {
  TTALLY T;
  std::mt19937_64 G(1);
  for (long K = 0; K < COUNT(200000); ++K) CHECK(T, RANDOMAT(G, static_cast<int>(G() % 0x8000)));
}
TEST(FastDigits, RandomBitsOverTheAmplitudes) {
  TTALLY T;
  std::mt19937_64 G(4);
  for (long K = 0; K < COUNT(2000000); ++K) CHECK(T, RANDOMAT(G, BIAS - 220 + static_cast<int>(G() % 261)));
}

// Exact decimals of 18 digits ending in 5, C * 5^N * 10^-N = C * 2^-N, are
// ties at the 17th digit and always left to the exact way, and ten times
// them too; their neighbours one unit of the last place away are compared.
// Exact decimals of 17 digits are never left.
TEST(FastDigits, ExactTiesAndTheirNeighbours) {
  TTALLY T;
  std::mt19937_64 G(2);
  auto NEIGHBOURS = [&T](TEXTENDED X) {
    CHECK(T, VALUEOFORDINAL(ORDINALOF(X) - 1));
    CHECK(T, VALUEOFORDINAL(ORDINALOF(X) + 1));
  };
  for (long K = 0; K < COUNT(300000); ++K) {
    const int N = static_cast<int>(G() % 26);
    uint64_t P5 = 1;
    for (int I = 0; I < N; ++I) P5 *= 5;
    for (uint64_t TEN : {uint64_t{100000000000000000}, uint64_t{10000000000000000}}) {
      // C * 5^N in [TEN, 10 * TEN).
      const uint64_t LO = (TEN + P5 - 1) / P5, HI = (10 * TEN - 1) / P5;
      if (HI < LO) continue;  // 5^25 has 18 digits
      uint64_t C = LO + G() % (HI - LO + 1);
      const bool TIE = TEN > 10000000000000000;
      if (TIE && N == 0) C = C / 10 * 10 + 5;
      if (TIE && N > 0 && (C |= 1) > HI) C -= 2;
      const TEXTENDED X = SCALED(C, -N);
      EXPECT_EQ(CHECK(T, X), TIE) << C << " * 2^-" << N;
      NEIGHBOURS(X);
      if (TIE && N == 0) {
        EXPECT_TRUE(CHECK(T, SCALED(C * 5, 1))) << C << "0";
        NEIGHBOURS(SCALED(C * 5, 1));
      }
    }
  }
}

// At every decimal scale of the normal range: the values nearest to the
// power of ten, to 9.99999999999999995 (a carry into the exponent) and to
// a random tie at the 17th digit, with their neighbours; then the ends of
// the range and the values that take the exact way by kind.
TEST(FastDigits, NearestValuesAtEveryScale) {
  TTALLY T;
  std::mt19937_64 G(3);
  char B[64];
  auto AROUND = [&T, &B](int WIDTH) {
    const __int128 O = ORDINALOF(LIBRARYREAD(B));
    for (int D = -WIDTH; D <= WIDTH; ++D) CHECK(T, VALUEOFORDINAL(O + D));
  };
  auto DIGITS16 = [&G] { return static_cast<unsigned long long>(G() % 9000000000000000 + 1000000000000000); };
  for (int K = -4931; K <= 4931; K += SANITIZED ? 41 : 1) {
    std::snprintf(B, sizeof B, "1e%d", K);
    AROUND(2);
    std::snprintf(B, sizeof B, "9.99999999999999995e%d", K);
    AROUND(1);
    std::snprintf(B, sizeof B, "%d.%llu5e%d", static_cast<int>(G() % 9) + 1, DIGITS16(), K);
    AROUND(1);
  }
  for (long K = 0; K < COUNT(100000); ++K) {
    std::snprintf(B, sizeof B, "%llu%d5e%d", DIGITS16(), static_cast<int>(G() % 10), static_cast<int>(G() % 80) - 80);
    AROUND(1);
  }
  for (TEXTENDED X : {FROMBITS(TOP, 1, false), FROMBITS(~uint64_t{0}, 0x7FFE, false), FROMBITS(TOP + 1, 1, true),
                      FROMBITS(~uint64_t{1}, 0x7FFE, false), FROMBITS(~uint64_t{0}, 0, false), FROMBITS(1, 0, false),
                      FROMBITS(0, 0, false), FROMBITS(0, 0, true), FROMBITS(TOP, 0x7FFF, false),
                      FROMBITS(TOP | 1, 0x7FFF, true)})
    CHECK(T, X);
  EXPECT_EQ(T.FAILS, 0);
}
