// unfastdig: the fast magnitude text (see unfastdig.hpp): the power table,
// made at compile time, and the fast way with its error bound.
#include "unfastdig.hpp"

#include <array>
#include <bit>
#include <cstring>

#include "unforstr.hpp"

namespace {

using U128 = unsigned __int128;

// --- The power table, made at compile time with exact integers -------------

// A natural number of up to BIGLIMBS limbs of 64 bits, least significant
// first, and one more limb that stays zero. 184 limbs (11776 bits) hold
// 5^4928 (11443 bits) and 2^BIGTWO.
constexpr int BIGLIMBS = 184;
struct TBIG {
  uint64_t L[BIGLIMBS + 1] = {};
};

constexpr uint64_t FIVE14 = 6103515625;  // 5^14; 5^28 = FIVE14^2 > 2^64

constexpr void BIGMUL(TBIG& A, uint64_t F) {
  U128 C = 0;
  for (int I = 0; I < BIGLIMBS; ++I) {
    C += static_cast<U128>(A.L[I]) * F;
    A.L[I] = static_cast<uint64_t>(C);
    C >>= 64;
  }
  if (C != 0) throw "power table: too long a number";
}

// A = floor(A / D).
constexpr void BIGDIV(TBIG& A, uint64_t D) {
  U128 R = 0;
  for (int I = BIGLIMBS; I-- > 0;) {
    R = (R << 64) | A.L[I];
    A.L[I] = static_cast<uint64_t>(R / D);
    R %= D;
  }
}

constexpr int BIGBITS(const TBIG& A) {
  for (int I = BIGLIMBS; I-- > 0;)
    if (A.L[I] != 0) return 64 * I + 64 - std::countl_zero(A.L[I]);
  return 0;
}

// Bits POS..POS+63 of A, POS >= 0.
constexpr uint64_t BITSAT(const TBIG& A, int POS) {
  const int I = POS / 64, S = POS % 64;
  return S == 0 ? A.L[I] : (A.L[I] >> S) | (A.L[I + 1] << (64 - S));
}

// floor(A * 2^(128 - bits of A)), in [2^127, 2^128); A not zero.
constexpr U128 TOP128(const TBIG& A) {
  const int NB = BIGBITS(A);
  if (NB <= 128) return ((static_cast<U128>(A.L[1]) << 64) | A.L[0]) << (128 - NB);
  return (static_cast<U128>(BITSAT(A, NB - 64)) << 64) | BITSAT(A, NB - 128);
}

// The numerator of the negative powers: floor(2^BIGTWO / 5^m) keeps at
// least 128 bits for m up to 28 * 176 = 4928.
constexpr int BIGTWO = 11648;

constexpr int NPOW = FASTPOWLAST - FASTPOWFIRST + 1;

// 10^(28 J) = 5^(28 J) * 2^(28 J). For J >= 0, A = 5^(28 J) exactly and
// floor(A * 2^(128 - NB)) = floor(10^(28 J) * 2^-(NB - 128 + 28 J)). For
// J < 0, A = floor(2^BIGTWO / 5^(-28 J)) (floors of floors by integers are
// one floor), and floor(A / 2^(NB - 128)) = floor(10^(28 J) *
// 2^-(NB - 128 - BIGTWO + 28 J)).
consteval std::array<TFASTPOW, NPOW> MAKEPOWERS() {
  std::array<TFASTPOW, NPOW> R{};
  auto PUT = [&R](int J, const TBIG& A, int OFFSET) {
    const U128 P = TOP128(A);
    R[static_cast<size_t>(J - FASTPOWFIRST)] = {static_cast<uint64_t>(P >> 64), static_cast<uint64_t>(P),
                                                BIGBITS(A) - 128 - OFFSET + FASTPOWSTEP * J};
  };
  TBIG A;
  A.L[0] = 1;
  for (int J = 0; J <= FASTPOWLAST; ++J) {
    PUT(J, A, 0);
    BIGMUL(A, FIVE14);
    BIGMUL(A, FIVE14);
  }
  A = TBIG{};
  A.L[BIGTWO / 64] = uint64_t{1} << (BIGTWO % 64);
  for (int J = -1; J >= FASTPOWFIRST; --J) {
    BIGDIV(A, FIVE14);
    BIGDIV(A, FIVE14);
    PUT(J, A, BIGTWO);
  }
  return R;
}

constexpr std::array<TFASTPOW, NPOW> POWERS = MAKEPOWERS();

// Two entries checked by hand: 10^0 = 2^127 * 2^-127; 10^28 = 5^28 * 2^28
// = (5^28 * 2^62) * 2^-34, 5^28 having 66 bits.
static_assert(POWERS[-FASTPOWFIRST].POWHI == uint64_t{1} << 63 && POWERS[-FASTPOWFIRST].POWLO == 0 &&
              POWERS[-FASTPOWFIRST].POWSHIFT == -127);
static_assert(POWERS[1 - FASTPOWFIRST].POWSHIFT == -34 &&
              ((static_cast<U128>(POWERS[1 - FASTPOWFIRST].POWHI) << 64) | POWERS[1 - FASTPOWFIRST].POWLO) ==
                  static_cast<U128>(FIVE14) * FIVE14 << 62);

// 5^0 .. 5^27: each below 2^63, so M * 5^B fits in 127 bits.
constexpr std::array<uint64_t, FASTPOWSTEP> FIVES = [] {
  std::array<uint64_t, FASTPOWSTEP> F{};
  F[0] = 1;
  for (size_t I = 1; I < F.size(); ++I) F[I] = F[I - 1] * 5;
  return F;
}();
static_assert(FIVES[FASTPOWSTEP - 1] < uint64_t{1} << 63);

// "00" "01" .. "99".
constexpr std::array<char, 200> PAIRS = [] {
  std::array<char, 200> P{};
  for (int I = 0; I < 100; ++I) {
    P[static_cast<size_t>(2 * I)] = static_cast<char>('0' + I / 10);
    P[static_cast<size_t>(2 * I + 1)] = static_cast<char>('0' + I % 10);
  }
  return P;
}();

inline void TWODIGITS(char* P, uint32_t V) { std::memcpy(P, PAIRS.data() + 2 * V, 2); }
inline void EIGHTDIGITS(char* P, uint32_t V) {
  const uint32_t A = V / 10000, B = V % 10000;
  TWODIGITS(P, A / 100);
  TWODIGITS(P + 2, A % 100);
  TWODIGITS(P + 4, B / 100);
  TWODIGITS(P + 6, B % 100);
}

constexpr uint64_t TEN16 = 10000000000000000;
constexpr uint64_t TEN17 = 10 * TEN16;
constexpr uint64_t HALF = uint64_t{1} << 63;  // one half, in units of 2^-64

// The smallest and largest decimal scale Q = 16 - K0 of a normal value, the
// table's J = floor(Q / 28) over them.
constexpr int K0OF(int E) { return static_cast<int>((static_cast<int64_t>(E) * 1292913986) >> 32); }
constexpr int FLOORDIV(int A, int B) { return A >= 0 ? A / B : -((-A + B - 1) / B); }
static_assert(FLOORDIV(16 - K0OF(16383), FASTPOWSTEP) == FASTPOWFIRST);
static_assert(FLOORDIV(16 - K0OF(-16382), FASTPOWSTEP) == FASTPOWLAST);

}  // namespace

TFASTPOW FASTPOWER(int J) { return POWERS[static_cast<size_t>(J - FASTPOWFIRST)]; }

int FASTAMPTRY(TEXTENDED X, char* OUT) {
  uint64_t M;
  uint16_t SE;
  std::memcpy(&M, &X, 8);
  std::memcpy(&SE, reinterpret_cast<const char*>(&X) + 8, 2);
  const int EXP = SE & 0x7FFF;
  if (EXP == 0 || EXP == 0x7FFF || (M >> 63) == 0) return 0;
  // |X| = M * 2^(E - 63) lies in [2^E, 2^(E+1)). K0 = floor(E log10 2)
  // (1292913986 / 2^32 below log10 2 by 2^-33: exact for |E| < 16400,
  // checked against the exact powers), so 10^K0 <= |X| < 2 * 10^(K0+1),
  // and Y = |X| * 10^Q, Q = 16 - K0, lies in [10^16, 2 * 10^17).
  const int E = EXP - 16383;
  const int K0 = K0OF(E);
  const int Q = 16 - K0;
  const int J = FLOORDIV(Q, FASTPOWSTEP);
  const int B = Q - FASTPOWSTEP * J;
  const TFASTPOW& P = POWERS[static_cast<size_t>(J - FASTPOWFIRST)];
  // 10^Q = 5^B * 2^B * 10^(28 J), and Y = U * W * 2^-S with U = M * 5^B
  // exact (< 2^127) and W = POWHI:POWLO = floor(10^(28 J) * 2^-POWSHIFT).
  // The product, 256 bits, exactly: P3:P2 above P1 above a limb dropped.
  const U128 U = static_cast<U128>(M) * FIVES[static_cast<size_t>(B)];
  const uint64_t U0 = static_cast<uint64_t>(U), U1 = static_cast<uint64_t>(U >> 64);
  const U128 LL = static_cast<U128>(U0) * P.POWLO, LH = static_cast<U128>(U0) * P.POWHI;
  const U128 HL = static_cast<U128>(U1) * P.POWLO, HH = static_cast<U128>(U1) * P.POWHI;
  const U128 MID = (LL >> 64) + static_cast<uint64_t>(LH) + static_cast<uint64_t>(HL);
  const uint64_t P1 = static_cast<uint64_t>(MID);
  const U128 P32 = HH + (LH >> 64) + (HL >> 64) + (MID >> 64);
  // U * W lies in [2^190, 2^255) and Y in [2^53, 2^58): S in [133, 201],
  // so SH = S - 128 in [5, 73], and Y * 2^64, below 2^122, is
  // floor((P3:P2:P1) / 2^SH); for SH >= 64, P1 adds less than one unit to
  // P3:P2 / 2^(SH - 64), whose rest is at most 1 - 2^(64 - SH).
  const int SH = 63 - E - B - P.POWSHIFT - 128;
  const U128 Y64 = SH < 64 ? (P32 << (64 - SH)) | (P1 >> SH) : P32 >> (SH - 64);
  const uint64_t Z = static_cast<uint64_t>(Y64 >> 64);
  const uint64_t F = static_cast<uint64_t>(Y64);
  // The error bound: W <= 10^(28 J) * 2^-POWSHIFT < W + 1 and W >= 2^127,
  // so the exact Y exceeds U * W * 2^-S by less than Y * 2^-127 < 2^-69,
  // and Z + F * 2^-64 by less than 2^-64 + 2^-69: the exact Y lies in
  // [Z + F * 2^-64, Z + (F + 2) * 2^-64).
  uint64_t D;
  int K = K0;
  if (Z < TEN17) {
    // 17 digits: Z rounded by the fraction. It lies below one half for
    // F <= HALF - 2 and above it for F >= HALF + 1; between, the exact way.
    // Past Z + 1 (F = 2^64 - 1) the rounding is Z + 1 all the same.
    if (F == HALF - 1 || F == HALF) return 0;
    D = Z + (F > HALF);
    if (D < TEN16) return 0;  // not for K0 exact: Y >= 10^16
    if (D == TEN17) {
      D = TEN16;
      ++K;
    }
  } else {
    // 18 digits: Z = 10 * T + R, and the digits are T rounded by (R + the
    // fraction) / 10: below one half for R <= 3, and for R = 4 unless F =
    // 2^64 - 1; above it for R >= 6, and for R = 5 unless F = 0.
    if (Z >= 2 * TEN17) return 0;  // not for K0 exact: Y < 2 * 10^17
    const uint64_t T = Z / 10;
    const uint64_t R = Z - 10 * T;
    if ((R == 4 && F == ~uint64_t{0}) || (R == 5 && F == 0)) return 0;
    D = T + (R >= 5);
    ++K;
  }
  // D in [10^16, 10^17): the first digit, the point, 16 digits, the
  // exponent with at least two digits.
  const uint64_t REST = D % TEN16;
  OUT[0] = static_cast<char>('0' + D / TEN16);
  OUT[1] = '.';
  EIGHTDIGITS(OUT + 2, static_cast<uint32_t>(REST / 100000000));
  EIGHTDIGITS(OUT + 10, static_cast<uint32_t>(REST % 100000000));
  OUT[18] = 'e';
  OUT[19] = K < 0 ? '-' : '+';
  uint32_t A = static_cast<uint32_t>(K < 0 ? -K : K);
  if (A < 100) {
    TWODIGITS(OUT + 20, A);
    return 22;
  }
  if (A < 1000) {
    OUT[20] = static_cast<char>('0' + A / 100);
    TWODIGITS(OUT + 21, A % 100);
    return 23;
  }
  TWODIGITS(OUT + 20, A / 100);
  TWODIGITS(OUT + 22, A % 100);
  return 24;
}

int FASTAMPDIGITS(TEXTENDED X, char* OUT) {
  const int N = FASTAMPTRY(X, OUT);
  return N != 0 ? N : AMPDIGITS(EXTABS(X), OUT);
}
