// The software extended type against the x87 long double of this machine,
// operation by operation, bit for bit: random operands of many kinds, ties
// and halfway cases at every exponent, special values in every pairing,
// every integer width; the decimal conversions against strtold and
// snprintf. Each test prints how many results it compared.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

#include "softextpair.hpp"
#include "testbits.hpp"

namespace {

using LD = long double;
constexpr uint64_t TOP = uint64_t{1} << 63;
constexpr int BIAS = 16383;

// Fewer random cases under the sanitizers.
long COUNT(long N) { return SANITIZED ? N / 10 : N; }

TSOFTEXT BITS(uint64_t M, int SE) { return TSOFTEXT::OFBITS(M, static_cast<uint16_t>(SE)); }

// Results compared, per operation; printed at the end of a test.
class TTALLY {
 public:
  ~TTALLY() {
    std::string T;
    for (const auto& [OP, N] : COUNTS) T += std::string(" ") + OP + " " + std::to_string(N);
    std::printf("[ compared ]%s\n", T.c_str());
  }
  // WHAT() tells the case, when it failed.
  template <typename F>
  void NOTE(const char* OP, bool SAME, F WHAT) {
    size_t I = 0;
    while (I < COUNTS.size() && std::strcmp(COUNTS[I].first, OP) != 0) ++I;
    if (I == COUNTS.size()) COUNTS.emplace_back(OP, 0);
    ++COUNTS[I].second;
    if (!SAME && ++FAILS <= 20) ADD_FAILURE() << OP << " " << WHAT();
  }

 private:
  std::vector<std::pair<const char*, long>> COUNTS;
  int FAILS = 0;
};

template <typename F>
void SAMEVALUE(TTALLY& T, const char* OP, TSOFTEXT S, LD H, F ARGS) {
  T.NOTE(OP, SAMEBITS(S, H), [&] { return std::string(ARGS()) + ": " + HEX(S) + " against " + HEX(SOFT(H)); });
}
void SAMEVALUE(TTALLY& T, const char* OP, TSOFTEXT S, LD H, const char* ARGS) {
  SAMEVALUE(T, OP, S, H, [ARGS] { return ARGS; });
}

// Every operation on A and B, both ways round.
void BOTHWAYS(TTALLY& T, TSOFTEXT A, TSOFTEXT B) {
  for (int K = 0; K < 2; ++K) {
    const LD HA = HARD(A), HB = HARD(B);
    auto ARGS = [A, B] { return HEX(A) + " " + HEX(B); };
    SAMEVALUE(T, "add", A + B, HADD(HA, HB), ARGS);
    SAMEVALUE(T, "sub", A - B, HSUB(HA, HB), ARGS);
    SAMEVALUE(T, "mul", A * B, HMUL(HA, HB), ARGS);
    SAMEVALUE(T, "div", A / B, HDIV(HA, HB), ARGS);
    T.NOTE("compare", SCOMPARE(A, B) == HCOMPARE(HA, HB), ARGS);
    std::swap(A, B);
  }
  SAMEVALUE(T, "sqrt", sqrt(A), HSQRT(HARD(A)), [A] { return HEX(A); });
  SAMEVALUE(T, "sqrt", sqrt(fabs(B)), HSQRT(std::fabs(HARD(B))), [B] { return HEX(fabs(B)); });
}

// A random significand with its integer bit, and some of its low bits
// cleared (short significands make exact results and ties).
uint64_t RANDOMSIG(std::mt19937_64& G) {
  uint64_t M = G() | TOP;
  if (G() % 3 == 0) M &= ~uint64_t{0} << (G() % 64);
  return M;
}

// A value of the given exponent field (0: subnormal or zero) and sign.
TSOFTEXT RANDOMAT(std::mt19937_64& G, int E, bool NEG) {
  E = E < 0 ? 0 : E > 0x7FFE ? 0x7FFE : E;
  uint64_t M = RANDOMSIG(G);
  if (E == 0) M >>= 1 + G() % 63;
  return BITS(M, E | (NEG ? 0x8000 : 0));
}

// The neighbours of X (finite, X > 0).
TSOFTEXT NEXTUP(TSOFTEXT X) {
  if (X.MANT == ~uint64_t{0}) return BITS(TOP, X.SE + 1);
  X.MANT += 1;
  if (X.SE == 0 && (X.MANT & TOP) != 0) X.SE = 1;
  return X;
}
TSOFTEXT NEXTDOWN(TSOFTEXT X) {
  if (X.MANT == TOP && X.SE > 1) return BITS(~uint64_t{0}, X.SE - 1);
  X.MANT -= 1;
  if (X.SE == 1 && (X.MANT & TOP) == 0) X.SE = 0;
  return X;
}

TEST(SoftExtended, LayoutAndConstantsAreTheHardwareBits) {
  SKIPWITHOUTX87();
  static_assert(sizeof(TSOFTEXT) == sizeof(LD) && alignof(TSOFTEXT) == alignof(LD));
  TTALLY T;
  SAMEVALUE(T, "constant", SOFTEXTMAX, LDBL_MAX, "max");
  SAMEVALUE(T, "constant", SOFTEXTMINNORMAL, LDBL_MIN, "min normal");
  SAMEVALUE(T, "constant", SOFTEXTMINSUB, LDBL_TRUE_MIN, "least subnormal");
  SAMEVALUE(T, "constant", SOFTEXTINF, HUGE_VALL, "inf");
  SAMEVALUE(T, "constant", SOFTEXTNAN, HSUB(HUGE_VALL, HUGE_VALL), "default NaN");
  // Decimal constants and their products, made at compile time, against
  // the compiler's own rounding of the literals.
#define PAIR(X) {SOFTEXTOF(#X), X##L, #X}
  const struct {
    TSOFTEXT S;
    LD H;
    const char* TEXT;
  } CONSTS[] = {PAIR(2451545.0), PAIR(0.01720209895), PAIR(6.672E-20), PAIR(149597870.691),
                PAIR(3.3528131778969144E-3), PAIR(57.295779513082321), PAIR(4.8481368110953599E-6),
                PAIR(3.14159265358979323846264338327950288), PAIR(1.0E-16), PAIR(1.0E-19), PAIR(365.25),
                PAIR(0.3870986), PAIR(408523.71), PAIR(328900.5614), PAIR(1e4932), PAIR(1.2e-4950),
                PAIR(0.1), PAIR(123456789012345678901234567890.5)};
#undef PAIR
  for (const auto& C : CONSTS) SAMEVALUE(T, "constant", C.S, C.H, C.TEXT);
  constexpr TSOFTEXT K = SOFTEXTOF("0.01720209895");
  constexpr TSOFTEXT K2 = K * K, TWOPI = TSOFTEXT(2) * SOFTEXTOF("3.14159265358979323846264338327950288");
  constexpr TSOFTEXT ROOT = sqrt((K2 + TSOFTEXT(1) / TSOFTEXT(408523)) / (TWOPI - K));
  const LD HK = 0.01720209895L;
  SAMEVALUE(T, "constant", K2, HMUL(HK, HK), "k*k");
  const LD HTWOPI = 2 * 3.14159265358979323846264338327950288L;
  SAMEVALUE(T, "constant", ROOT, HSQRT(HDIV(HADD(HMUL(HK, HK), HDIV(1, 408523)), HSUB(HTWOPI, HK))), "a root");
}

TEST(SoftExtended, IntegersOfEveryWidth) {
  SKIPWITHOUTX87();
  TTALLY T;
  std::mt19937_64 G(15);
  auto EACH = [&](auto TYPE, const char* NAME) {
    using I = decltype(TYPE);
    std::vector<I> V = {0, 1, std::numeric_limits<I>::min(), std::numeric_limits<I>::max()};
    if (std::numeric_limits<I>::is_signed) V.push_back(static_cast<I>(-1));
    for (int B = 1; B < static_cast<int>(8 * sizeof(I)); ++B) {
      const auto P = static_cast<std::make_unsigned_t<I>>(1) << B;
      for (int D = -1; D <= 1; ++D) V.push_back(static_cast<I>(P + static_cast<std::make_unsigned_t<I>>(D)));
    }
    for (long K = 0; K < COUNT(20000); ++K) V.push_back(static_cast<I>(G() >> (G() % 64)));
    for (I X : V) SAMEVALUE(T, NAME, TSOFTEXT(X), static_cast<LD>(X), [X] { return std::to_string(X); });
  };
  EACH(int8_t{}, "int8");
  EACH(int16_t{}, "int16");
  EACH(int32_t{}, "int32");
  EACH(int64_t{}, "int64");
  EACH(uint8_t{}, "uint8");
  EACH(uint16_t{}, "uint16");
  EACH(uint32_t{}, "uint32");
  EACH(uint64_t{}, "uint64");
}

// Zeros, subnormals, the normal range's ends, infinities, NaNs of both
// kinds, and the encodings the x87 unit rejects or takes as another value.
TEST(SoftExtended, SpecialValuesInEveryPairing) {
  SKIPWITHOUTX87();
  const TSOFTEXT MAGNITUDES[] = {
      BITS(0, 0), BITS(1, 0), BITS(TOP - 1, 0), BITS(TOP >> 1, 0), BITS(TOP, 1), BITS(TOP + 1, 1),
      BITS(TOP, BIAS), BITS(TOP + 1, BIAS), BITS(~uint64_t{0}, BIAS), BITS(3 * (TOP >> 1), BIAS + 1),
      BITS(~uint64_t{0}, 0x7FFE), BITS(TOP, 0x7FFE), BITS(TOP, 0x7FFF), BITS(TOP | 1, 0x7FFF),
      BITS(TOP | 5, 0x7FFF), BITS(3 * (TOP >> 1) | 1, 0x7FFF), BITS(3 * (TOP >> 1) | 5, 0x7FFF),
      BITS(TOP >> 1, BIAS), BITS(0, BIAS), BITS(TOP, 0), BITS(~uint64_t{0}, 0), BITS(0, 0x7FFF),
      BITS(5, 0x7FFF), BITS(TOP, BIAS - 64), BITS(TOP, BIAS + 64)};
  std::vector<TSOFTEXT> V;
  for (TSOFTEXT M : MAGNITUDES) {
    V.push_back(M);
    V.push_back(-M);
  }
  TTALLY T;
  for (TSOFTEXT A : V) {
    T.NOTE("unary", SUNARY(A) == HUNARY(HARD(A)), [A] { return HEX(A); });
    for (TSOFTEXT B : V) BOTHWAYS(T, A, B);
  }
}

// Random operands of several kinds, each kind a way into the corners of
// the arithmetic.
TEST(SoftExtended, RandomOperandsOfManyKinds) {
  SKIPWITHOUTX87();
  TTALLY T;
  std::mt19937_64 G(1515);
  for (long K = 0; K < COUNT(1000000); ++K) {
    const bool SA = G() & 1, SB = G() & 1;
    const int EA = static_cast<int>(G() % 0x7FFF);
    TSOFTEXT A = RANDOMAT(G, EA, SA), B;
    switch (K % 8) {
      case 0:  // anywhere
        B = RANDOMAT(G, static_cast<int>(G() % 0x7FFF), SB);
        break;
      case 1:  // nearby exponents: alignment and cancellation
        B = RANDOMAT(G, EA + static_cast<int>(G() % 141) - 70, SB);
        break;
      case 2:  // nearly the same value
        B = BITS(A.MANT ^ (G() >> (1 + G() % 63)), A.SE ^ (SB ? 0x8000 : 0));
        if ((B.SE & 0x7FFF) != 0) B.MANT |= TOP;
        break;
      case 3:  // subnormals and the bottom of the normal range
        A = RANDOMAT(G, static_cast<int>(G() % 70), SA);
        B = RANDOMAT(G, static_cast<int>(G() % 140), SB);
        break;
      case 4: {  // products and quotients at the ends of the range
        const int J = static_cast<int>(G() % 129) - 64;
        const int ENDS[] = {0x7FFE + BIAS - EA, BIAS - EA, EA + BIAS - 0x7FFE, EA + BIAS};
        B = RANDOMAT(G, ENDS[G() % 4] + J, SB);
        break;
      }
      case 5:  // small integers and their quotients
        A = TSOFTEXT(static_cast<int64_t>(G() % 2001) - 1000);
        B = TSOFTEXT(static_cast<int64_t>(G() % 2001) - 1000);
        break;
      case 6:  // any bits at all
        A = BITS(G(), static_cast<int>(G() & 0xFFFF));
        B = BITS(G(), static_cast<int>(G() & 0xFFFF));
        break;
      default:  // the ends of the exponent range
        A = RANDOMAT(G, G() % 2 ? static_cast<int>(G() % 64) : 0x7FFE - static_cast<int>(G() % 64), SA);
        B = RANDOMAT(G, G() % 2 ? static_cast<int>(G() % 64) : 0x7FFE - static_cast<int>(G() % 64), SB);
    }
    BOTHWAYS(T, A, B);
    if (K % 8 == 6) T.NOTE("unary", SUNARY(A) == HUNARY(HARD(A)), [A] { return HEX(A); });
  }
}

// Exact ties and their neighbours at every exponent: a sum with half a
// unit of the larger operand; a product of two odd significands of 33 and
// 32 bits (65 bits exact); a value scaled by a power of two into the
// subnormal range, with the bits it loses exactly one half, just above or
// just below.
TEST(SoftExtended, TiesAndHalfwayCasesAtEveryExponent) {
  SKIPWITHOUTX87();
  TTALLY T;
  std::mt19937_64 G(4242);
  const uint64_t PATTERNS[] = {~uint64_t{0}, TOP, TOP | 1, 0};
  for (int E = 1; E <= 0x7FFE; ++E) {
    for (uint64_t P : PATTERNS) {
      const TSOFTEXT A = BITS(P != 0 ? P : G() | TOP, E | (G() % 2 << 15));
      if (E >= 2) {
        // Half a unit of A: 2^(E - 64 - BIAS), subnormal below exponent 65.
        const TSOFTEXT H = E > 64 ? BITS(TOP, E - 64) : BITS(uint64_t{1} << (E - 2), 0);
        BOTHWAYS(T, A, H);
        BOTHWAYS(T, A, NEXTUP(H));
        if (E != 2) BOTHWAYS(T, A, NEXTDOWN(H));
      }
    }
    // Odd factors whose product needs 65 bits.
    uint64_t M, N;
    do {
      M = (G() >> 31) | (uint64_t{1} << 32) | 1;
      N = (G() >> 32) | (uint64_t{1} << 31) | 1;
    } while (static_cast<unsigned __int128>(M) * N >> 64 == 0);
    const int EA = (E + BIAS) / 2, EB = E + BIAS - EA;
    BOTHWAYS(T, BITS(M << 31, EA), BITS(N << 32, EB));
  }
  // Into the subnormal range: A * 2^S and A / 2^-S lose D bits.
  for (int D = 1; D <= 66; ++D) {
    for (int K = 0; K < 40; ++K) {
      const int E = 1 + static_cast<int>(G() % 64);
      uint64_t M = G() | TOP;
      if (D <= 64) {
        const uint64_t LOW = D == 64 ? ~uint64_t{0} : (uint64_t{1} << D) - 1;
        const uint64_t HALF = uint64_t{1} << (D - 1);
        M = (M & ~LOW) | (K % 3 == 0 ? HALF : K % 3 == 1 ? HALF + 1 : HALF - 1);
        if (D == 64) M |= TOP;
      }
      const TSOFTEXT A = BITS(M, E | (K % 2 << 15));
      // A * 2^S lands with D bits below the least subnormal.
      const int S = -(E - 1) - D;
      const TSOFTEXT POW = BITS(TOP, BIAS + S), INV = BITS(TOP, BIAS - S);
      BOTHWAYS(T, A, POW);
      BOTHWAYS(T, A, INV);
    }
  }
}

TEST(SoftExtended, SquareRoots) {
  SKIPWITHOUTX87();
  TTALLY T;
  std::mt19937_64 G(2);
  for (long K = 0; K < COUNT(300000); ++K) {
    TSOFTEXT A;
    if (K % 3 == 0) {  // a square, or the value above it
      const uint64_t R = (G() >> (G() % 64)) | 1;
      A = TSOFTEXT(R) * TSOFTEXT(R);
      A.SE = static_cast<uint16_t>((A.SE & 0x7FFF) + 2 * static_cast<int>(G() % 200) - 200);
      if (K % 2 == 0) A = NEXTUP(A);
    } else {
      A = RANDOMAT(G, K % 3 == 1 ? static_cast<int>(G() % 0x7FFF) : static_cast<int>(G() % 80), false);
    }
    SAMEVALUE(T, "sqrt", sqrt(A), HSQRT(HARD(A)), [A] { return HEX(A); });
  }
}

// ---------------------------------------------------------------------------
// Decimal conversions.

void SAMEREAD(TTALLY& T, const char* OP, const std::string& F) {
  TSOFTEXT S{};
  const bool OK = SOFTEXTREAD(F, S);
  LD H = 0;
  const bool HOK = LIBRARYREADS(F, H);
  if (!OK || !HOK) {
    T.NOTE(OP, OK == HOK, [&] { return F + (OK ? " read" : " not read"); });
    return;
  }
  SAMEVALUE(T, OP, S, H, [&] { return F.size() > 120 ? F.substr(0, 60) + "..." + F.substr(F.size() - 60) : F; });
}

// Random digits with the point anywhere, leading and trailing zeros, and
// an exponent in several spellings.
std::string RANDOMFIELD(std::mt19937_64& G, int MAXDIG, int EXPSPAN) {
  std::string D;
  const int N = 1 + static_cast<int>(G() % static_cast<uint64_t>(MAXDIG));
  for (int I = 0; I < N; ++I) D += static_cast<char>('0' + G() % 10);
  if (G() % 4 == 0) D.insert(0, G() % 5, '0');
  if (G() % 4 == 0) D.append(G() % 5, '0');
  const size_t P = G() % (D.size() + 1);
  if (G() % 3 != 0) D.insert(P, 1, '.');
  if (D == ".") D = "0.";
  std::string F = G() % 3 == 0 ? "-" : G() % 5 == 0 ? "+" : "";
  F += D;
  if (G() % 5 != 0) {
    const long X = static_cast<long>(G() % static_cast<uint64_t>(2 * EXPSPAN + 1)) - EXPSPAN;
    F += G() % 2 ? 'e' : 'E';
    F += X < 0 ? "-" : G() % 2 ? "+" : "";
    if (G() % 4 == 0) F += '0';
    F += std::to_string(X < 0 ? -X : X);
  }
  return F;
}

// The exact decimal of the point halfway between X (finite, X > 0) and the
// value above it: (2 SIG + 1) * 2^(P - 1) with |X| = SIG * 2^P.
std::string HALFWAYTEXT(TSOFTEXT X) {
  const int E = X.SE & 0x7FFF;
  const long P = (E == 0 ? 1 : E) - BIAS - 63 - 1;
  SOFTEXTIMPL::TBIGNUM N;
  const unsigned __int128 H = (static_cast<unsigned __int128>(X.MANT) << 1) | 1;
  for (int I = 0; I < 3; ++I) N.L.push_back(static_cast<uint32_t>(H >> (32 * I)));
  if (N.L.back() == 0) N.L.pop_back();
  long SCALE = 0;
  if (P >= 0) {
    N.SHIFTLEFT(P);
  } else {
    N.MULPOW5(-P);
    SCALE = -P;
  }
  std::string D;
  while (!N.ISZERO()) {
    const std::string C = std::to_string(N.DIVSMALL(1000000000));
    D.insert(0, N.ISZERO() ? C : std::string(9 - C.size(), '0') + C);
  }
  return D + "e-" + std::to_string(SCALE);
}

TEST(SoftExtended, ReadingAgreesWithTheLibrary) {
  SKIPWITHOUTX87();
  TTALLY T;
  std::mt19937_64 G(77);
  for (long K = 0; K < COUNT(300000); ++K) SAMEREAD(T, "read short", RANDOMFIELD(G, 21, 30));
  for (long K = 0; K < COUNT(20000); ++K) SAMEREAD(T, "read wide", RANDOMFIELD(G, 40, 4970));
  for (long K = 0; K < COUNT(2000); ++K) SAMEREAD(T, "read long", RANDOMFIELD(G, 3000, 400));
  for (const char* F : {"0", "-0", "+0.000e-99999999999", "00012", ".5", "5.", "1e0", "1E+0007", "-1.e-1",
                        "1e4932", "1.18973149535723176502e4932", "1.18973149535723176508e4932", "1e-4951",
                        "3.6451995318824746e-4951", "1.8225997659412373012642029668614e-4951",
                        "1.8225997659412373012642029668613e-4951", "9e99999999999999999999", "1e-99999999999",
                        "", "+", "-", ".", "e5", "1e", "1e+", "1.2.3", " 1", "1 ", "0x1p3", "inf", "nan", "1d5",
                        "--1", "1e5.5", "1,5"})
    SAMEREAD(T, "read edge", F);
  // At the halfway points between neighbouring values and just off them:
  // exactly, a last digit lower (then nines), a one far behind (past the
  // digits that are kept, for the longest texts), a digit fewer. The
  // points above zero, the largest subnormal and the largest value first.
  const TSOFTEXT ENDS[] = {BITS(0, 0), SOFTEXTMINSUB, BITS(TOP - 1, 0), SOFTEXTMINNORMAL, SOFTEXTMAX};
  for (long K = 0; K < COUNT(6000); ++K) {
    const int E = K % 50 == 0    ? static_cast<int>(G() % 0x7FFF)
                  : K % 200 == 1 ? static_cast<int>(G() % 3)
                                 : BIAS + static_cast<int>(G() % 401) - 200;
    const TSOFTEXT X = K < 5 ? ENDS[K] : RANDOMAT(G, E, false);
    const std::string H = HALFWAYTEXT(X);
    const size_t EPOS = H.find('e');
    const long SCALE = std::stol(H.substr(EPOS + 2));
    const std::string D = H.substr(0, EPOS);
    const size_t ZEROS = D.size() > 10000 ? 300 : 30;
    SAMEREAD(T, "read halfway", H);
    const std::string LOWER = D.substr(0, D.size() - 1) + "4" + std::string(20, '9');
    SAMEREAD(T, "read halfway", LOWER + "e-" + std::to_string(SCALE + 20));
    const std::string HIGHER = D + std::string(ZEROS, '0') + "1";
    SAMEREAD(T, "read halfway", HIGHER + "e-" + std::to_string(SCALE + static_cast<long>(ZEROS) + 1));
    SAMEREAD(T, "read halfway", "-" + D.substr(0, D.size() - 1) + "e-" + std::to_string(SCALE - 1));
  }
}

std::string LIBSCI(LD X, int P) {
  char B[128];
  std::snprintf(B, sizeof B, "%.*Le", P, X);
  return B;
}

TEST(SoftExtended, ScientificTextAgreesWithTheLibrary) {
  SKIPWITHOUTX87();
  TTALLY T;
  std::mt19937_64 G(99);
  auto CHECK = [&](const char* OP, TSOFTEXT X, int P) {
    const std::string S = SOFTEXTSCIENTIFIC(X, P), H = LIBSCI(HARD(X), P);
    T.NOTE(OP, S == H, [&] { return HEX(X) + " %." + std::to_string(P) + "Le: " + S + " against " + H; });
  };
  for (long K = 0; K < COUNT(200000); ++K) {
    TSOFTEXT X = RANDOMAT(G, BIAS + static_cast<int>(G() % 161) - 120, G() & 1);
    CHECK("%.16Le", X, 16);
    if (K % 10 == 0) CHECK("%.*Le", X, static_cast<int>(G() % 26));
  }
  for (long K = 0; K < COUNT(4000); ++K) CHECK("%.16Le wide", RANDOMAT(G, static_cast<int>(G() % 0x7FFF), G() & 1), 16);
  for (long K = 0; K < COUNT(300); ++K) CHECK("%.16Le wide", RANDOMAT(G, static_cast<int>(G() % 3), G() & 1), 16);
  // Ties at the 17th digit: odd 17-digit integers halved, and integers of
  // 18 digits ending in 5.
  for (long K = 0; K < COUNT(50000); ++K) {
    const uint64_t M = 10000000000000000ULL + G() % 90000000000000000ULL;
    CHECK("%.16Le tie", TSOFTEXT(M | 1) / TSOFTEXT(2), 16);
    CHECK("%.16Le tie", TSOFTEXT(M * 10 + 5), 16);
  }
  for (TSOFTEXT X : {BITS(0, 0), BITS(0, 0x8000), SOFTEXTINF, -SOFTEXTINF, SOFTEXTNAN, -SOFTEXTNAN, SOFTEXTMAX,
                     SOFTEXTMINSUB, TSOFTEXT(19) / TSOFTEXT(2), TSOFTEXT(1) / TSOFTEXT(3),
                     BITS(~uint64_t{0}, BIAS + 3)})
    for (int P = 0; P <= 22; ++P) CHECK("%.*Le edge", X, P);
}

std::string LIBFIXED(LD X, int W, int P) {
  std::vector<char> B(5200);
  std::snprintf(B.data(), B.size(), "%*.*Lf", W, P, X);
  return B.data();
}

TEST(SoftExtended, FixedTextAgreesWithTheLibrary) {
  SKIPWITHOUTX87();
  TTALLY T;
  std::mt19937_64 G(98);
  auto CHECK = [&](const char* OP, TSOFTEXT X, int W, int P) {
    const std::string S = SOFTEXTFIXED(X, W, P), H = LIBFIXED(HARD(X), W, P);
    T.NOTE(OP, S == H, [&] {
      return HEX(X) + " %" + std::to_string(W) + "." + std::to_string(P) + "Lf: " + S + " against " + H;
    });
  };
  for (long K = 0; K < COUNT(200000); ++K) {
    const TSOFTEXT X = RANDOMAT(G, BIAS + static_cast<int>(G() % 90) - 30, G() & 1);
    CHECK("%*.2Lf", X, static_cast<int>(G() % 24), 2);
    if (K % 10 == 0) CHECK("%*.*Lf", X, static_cast<int>(G() % 30), static_cast<int>(G() % 9));
    // A tie at the third decimal: an integer and an odd number of eighths.
    const TSOFTEXT EIGHTHS = TSOFTEXT(2 * (G() % 4) + 1) / TSOFTEXT(8);
    const TSOFTEXT TIE = TSOFTEXT(static_cast<int64_t>(G() % 2000001) - 1000000) + EIGHTHS;
    CHECK("%*.2Lf tie", TIE, 12, 2);
  }
  for (long K = 0; K < COUNT(600); ++K)
    CHECK("%*.2Lf wide", RANDOMAT(G, static_cast<int>(G() % 0x7FFF), G() & 1), static_cast<int>(G() % 12), 2);
  for (TSOFTEXT X : {BITS(0, 0), BITS(0, 0x8000), SOFTEXTINF, -SOFTEXTINF, SOFTEXTNAN, -SOFTEXTNAN, SOFTEXTMAX,
                     -SOFTEXTMINSUB, TSOFTEXT(-1) / TSOFTEXT(1000), TSOFTEXT(199) / TSOFTEXT(200)})
    for (int P = 0; P <= 6; ++P) CHECK("%*.*Lf edge", X, 10, P);
}

}  // namespace
