// unsoftext: the 80-bit extended type in software, for machines whose long
// double is not the x87 type. The first of three layers: it takes the bits
// of extended values and integers, gives extended values, comparisons and
// classifications, and calls the standard library alone; the wide integers
// (unsoftbig) and the decimal conversions (unsoftdec) stand on it.
//
// A TSOFTEXT holds the bytes of an x87 extended value: a 64-bit
// significand with its leading bit explicit (MANT) and 16 bits of sign and
// biased exponent (SE), little-endian, 16 bytes aligned as long double is
// on x86-64. Its first ten bytes are those of the x87 value.
//
// What it guarantees: every operation gives the bits the x87 unit gives at
// 64-bit precision, rounding to nearest with ties to even:
//   + - * / (and their assignments), sqrt: one rounding of the exact
//     result; the same exponent range; overflow to infinity; results below
//     the normal range rounded once to the subnormal grid (biased exponent
//     0, integer bit clear; one that rounds up to the smallest normal gets
//     exponent 1, so pseudo-denormals never come out); x - x = +0,
//     (-0) + (-0) = -0, sqrt(-0) = -0.
//   Invalid operations (inf - inf, 0 * inf, 0 / 0, inf / inf, sqrt of a
//     negative number) and operands the x87 unit does not accept
//     (unnormals, pseudo-infinities, pseudo-NaNs) give the default NaN
//     (sign set, significand 0xC000000000000000). A NaN operand gives that
//     NaN made quiet; of two, the one with the larger significand, the
//     positive one when the significands are equal. A pseudo-denormal
//     operand counts as the normal value it stands for.
//   == != < <= > >= (through <=>): a NaN or an operand the x87 unit does
//     not accept is unordered with everything; -0 == +0.
//   Unary -, fabs, signbit: the sign bit alone, for any bits.
//   Conversion from every integer type: exact.
// Only integer arithmetic is used (64-bit, and unsigned __int128), so the
// results are the same on every machine; all of it is constexpr, so that
// constants are made at compile time. tests/unit/softext_test.cpp compares
// every operation with the x87 long double, bit for bit, over millions of
// operands of many kinds; tests/fuzz/softext_fuzz.cpp, on arbitrary bytes.
//
// sqrt, fabs, signbit, isnan, isinf, isfinite and isnormal carry the names
// of their <cmath> counterparts, so that code written for the hardware type
// finds them by argument-dependent lookup; isnormal, like the x87 type's,
// compares the magnitude with the smallest normal value.
#pragma once

#include <bit>
#include <compare>
#include <concepts>
#include <cstdint>
#include <type_traits>
#include <utility>

struct alignas(16) TSOFTEXT {
  uint64_t MANT;  // significand, bit 63 the integer bit
  uint16_t SE;    // bit 15 the sign, bits 0..14 the biased exponent

  TSOFTEXT() = default;

  // The value of an integer, exactly.
  template <std::integral I>
    requires(!std::same_as<I, bool>)
  constexpr explicit TSOFTEXT(I V) : MANT(0), SE(0) {
    bool NEG = false;
    if constexpr (std::is_signed_v<I>) NEG = V < 0;
    const uint64_t M = NEG ? uint64_t{0} - static_cast<uint64_t>(V) : static_cast<uint64_t>(V);
    if (M == 0) return;
    const int S = std::countl_zero(M);
    MANT = M << S;
    SE = static_cast<uint16_t>((NEG ? 0x8000 : 0) | (16383 + 63 - S));
  }

  static constexpr TSOFTEXT OFBITS(uint64_t M, uint16_t E) {
    TSOFTEXT X;
    X.MANT = M;
    X.SE = E;
    return X;
  }
};
static_assert(sizeof(TSOFTEXT) == 16 && alignof(TSOFTEXT) == 16);

inline constexpr TSOFTEXT SOFTEXTMAX = TSOFTEXT::OFBITS(~uint64_t{0}, 0x7FFE);         // largest finite
inline constexpr TSOFTEXT SOFTEXTMINNORMAL = TSOFTEXT::OFBITS(uint64_t{1} << 63, 1);  // 2^-16382
inline constexpr TSOFTEXT SOFTEXTMINSUB = TSOFTEXT::OFBITS(1, 0);                     // 2^-16445
inline constexpr TSOFTEXT SOFTEXTINF = TSOFTEXT::OFBITS(uint64_t{1} << 63, 0x7FFF);
inline constexpr TSOFTEXT SOFTEXTNAN = TSOFTEXT::OFBITS(uint64_t{3} << 62, 0xFFFF);   // the default NaN

namespace SOFTEXTIMPL {

using U128 = unsigned __int128;
inline constexpr uint64_t TOPBIT = uint64_t{1} << 63;
inline constexpr int BIAS = 16383;
inline constexpr int MAXEXPFIELD = 0x7FFF;

enum TKIND : uint8_t { KZERO, KFINITE, KINF, KNAN, KBAD };

// A value taken apart: for KFINITE, |X| = SIG * 2^(EXP - 63) with bit 63
// of SIG set (subnormals normalized).
struct TPARTS {
  TKIND KIND;
  bool NEG;
  int32_t EXP;
  uint64_t SIG;
};

constexpr TPARTS UNPACK(TSOFTEXT X) {
  const bool NEG = (X.SE >> 15) != 0;
  const int E = X.SE & MAXEXPFIELD;
  const uint64_t M = X.MANT;
  if (E == MAXEXPFIELD) {
    if ((M & TOPBIT) == 0) return {KBAD, NEG, 0, M};
    return {(M << 1) == 0 ? KINF : KNAN, NEG, 0, M};
  }
  if (E == 0) {
    if (M == 0) return {KZERO, NEG, 0, 0};
    const int S = std::countl_zero(M);
    return {KFINITE, NEG, 1 - BIAS - S, M << S};
  }
  if ((M & TOPBIT) == 0) return {KBAD, NEG, 0, M};
  return {KFINITE, NEG, E - BIAS, M};
}

constexpr TSOFTEXT ZERO(bool NEG) { return TSOFTEXT::OFBITS(0, NEG ? 0x8000 : 0); }
constexpr TSOFTEXT INF(bool NEG) { return TSOFTEXT::OFBITS(TOPBIT, NEG ? 0xFFFF : 0x7FFF); }

// The result of an operation with a NaN or a bad operand among A and B.
constexpr TSOFTEXT NANRESULT(TSOFTEXT A, TKIND KA, TSOFTEXT B, TKIND KB) {
  if (KA == KBAD || KB == KBAD) return SOFTEXTNAN;
  TSOFTEXT R = KA != KNAN ? B : KB != KNAN ? A
             : A.MANT > B.MANT ? A : B.MANT > A.MANT ? B
             : TSOFTEXT::OFBITS(A.MANT, static_cast<uint16_t>(A.SE & B.SE));
  R.MANT |= TOPBIT >> 1;
  return R;
}

constexpr int CLZ128(U128 X) {
  const uint64_t HI = static_cast<uint64_t>(X >> 64);
  return HI != 0 ? std::countl_zero(HI) : 64 + std::countl_zero(static_cast<uint64_t>(X));
}

// X >> N, with the bits shifted out ORed into bit 0.
constexpr U128 SHIFTJAM(U128 X, int N) {
  if (N <= 0) return X;
  if (N >= 128) return X != 0;
  return (X >> N) | ((X << (128 - N)) != 0);
}

// The value X * 2^(EXP - 127), X not zero (bit 0 may stand for any
// non-zero rest below it, so long as bits 0 and 1 lie below the rounding
// place), rounded to an extended value.
constexpr TSOFTEXT ROUNDPACK(bool NEG, int32_t EXP, U128 X) {
  const int S = CLZ128(X);
  X <<= S;
  int32_t BE = EXP - S + BIAS;
  bool SUB = false;
  if (BE <= 0) {
    X = SHIFTJAM(X, 1 - BE);
    BE = 0;
    SUB = true;
  }
  uint64_t HI = static_cast<uint64_t>(X >> 64);
  const uint64_t LO = static_cast<uint64_t>(X);
  if (LO > TOPBIT || (LO == TOPBIT && (HI & 1) != 0)) {
    if (++HI == 0) {
      HI = TOPBIT;
      ++BE;
    }
  }
  if (SUB) {
    if (HI == 0) return ZERO(NEG);
    if ((HI & TOPBIT) != 0) BE = 1;
  }
  if (BE >= MAXEXPFIELD) return INF(NEG);
  return TSOFTEXT::OFBITS(HI, static_cast<uint16_t>((NEG ? 0x8000 : 0) | BE));
}

// A finite value taken apart, put together again (exact).
constexpr TSOFTEXT PACK(const TPARTS& P) { return ROUNDPACK(P.NEG, P.EXP, static_cast<U128>(P.SIG) << 64); }

constexpr TSOFTEXT ADD(TSOFTEXT A, TSOFTEXT B) {
  TPARTS PA = UNPACK(A), PB = UNPACK(B);
  if (PA.KIND >= KNAN || PB.KIND >= KNAN) return NANRESULT(A, PA.KIND, B, PB.KIND);
  if (PA.KIND == KINF) return PB.KIND == KINF && PA.NEG != PB.NEG ? SOFTEXTNAN : INF(PA.NEG);
  if (PB.KIND == KINF) return INF(PB.NEG);
  if (PA.KIND == KZERO) return PB.KIND == KZERO ? ZERO(PA.NEG && PB.NEG) : PACK(PB);
  if (PB.KIND == KZERO) return PACK(PA);
  if (PA.EXP < PB.EXP || (PA.EXP == PB.EXP && PA.SIG < PB.SIG)) std::swap(PA, PB);
  // Significands at bits 63..126, bit 127 free for the carry. The 63 bits
  // below hold a shift by up to 63 exactly, a longer one's rest jammed into
  // bit 0. A difference loses at most its top bit when the shift is 2 or
  // more (XA - XB > 2^126 - 2^125), so the rounding place stays at bit 61
  // or above; after a shift of 0 or 1 it is exact.
  const U128 XA = static_cast<U128>(PA.SIG) << 63;
  const U128 XB = SHIFTJAM(static_cast<U128>(PB.SIG) << 63, PA.EXP - PB.EXP);
  if (PA.NEG == PB.NEG) return ROUNDPACK(PA.NEG, PA.EXP + 1, XA + XB);
  if (XA == XB) return ZERO(false);
  return ROUNDPACK(PA.NEG, PA.EXP + 1, XA - XB);
}

constexpr TSOFTEXT NEGATE(TSOFTEXT A) { return TSOFTEXT::OFBITS(A.MANT, static_cast<uint16_t>(A.SE ^ 0x8000)); }

constexpr TSOFTEXT SUBTRACT(TSOFTEXT A, TSOFTEXT B) {
  const TKIND KA = UNPACK(A).KIND, KB = UNPACK(B).KIND;
  if (KA >= KNAN || KB >= KNAN) return NANRESULT(A, KA, B, KB);
  return ADD(A, NEGATE(B));
}

constexpr TSOFTEXT MULTIPLY(TSOFTEXT A, TSOFTEXT B) {
  const TPARTS PA = UNPACK(A), PB = UNPACK(B);
  if (PA.KIND >= KNAN || PB.KIND >= KNAN) return NANRESULT(A, PA.KIND, B, PB.KIND);
  const bool NEG = PA.NEG != PB.NEG;
  if (PA.KIND == KINF || PB.KIND == KINF)
    return PA.KIND == KZERO || PB.KIND == KZERO ? SOFTEXTNAN : INF(NEG);
  if (PA.KIND == KZERO || PB.KIND == KZERO) return ZERO(NEG);
  // The product, in [2^126, 2^128), is exact.
  return ROUNDPACK(NEG, PA.EXP + PB.EXP + 1, static_cast<U128>(PA.SIG) * PB.SIG);
}

constexpr TSOFTEXT DIVIDE(TSOFTEXT A, TSOFTEXT B) {
  const TPARTS PA = UNPACK(A), PB = UNPACK(B);
  if (PA.KIND >= KNAN || PB.KIND >= KNAN) return NANRESULT(A, PA.KIND, B, PB.KIND);
  const bool NEG = PA.NEG != PB.NEG;
  if (PA.KIND == KINF) return PB.KIND == KINF ? SOFTEXTNAN : INF(NEG);
  if (PB.KIND == KINF) return ZERO(NEG);
  if (PB.KIND == KZERO) return PA.KIND == KZERO ? SOFTEXTNAN : INF(NEG);
  if (PA.KIND == KZERO) return ZERO(NEG);
  // SIG(A) * 2^64 / SIG(B) lies in (2^63, 2^65); 62 more bits of the
  // quotient and a bit for the rest.
  const U128 N = static_cast<U128>(PA.SIG) << 64;
  const U128 Q = N / PB.SIG;
  const U128 R = (N % PB.SIG) << 62;
  const U128 X = (Q << 62) | (R / PB.SIG) | ((R % PB.SIG) != 0);
  return ROUNDPACK(NEG, PA.EXP - PB.EXP + 1, X);
}

constexpr TSOFTEXT SQRT(TSOFTEXT A) {
  const TPARTS P = UNPACK(A);
  if (P.KIND >= KNAN) return NANRESULT(A, P.KIND, A, P.KIND);
  if (P.KIND == KZERO) return A;
  if (P.NEG) return SOFTEXTNAN;
  if (P.KIND == KINF) return A;
  // |A| = N * 2^(2K), N = SIG * 2^63 or SIG * 2^64 in [2^126, 2^128).
  const int T = (P.EXP & 1) != 0 ? 64 : 63;
  const U128 N = static_cast<U128>(P.SIG) << T;
  const int32_t K = (P.EXP - 63 - T) / 2;
  // The integer root by Newton's method from above.
  U128 R = ~uint64_t{0};
  for (;;) {
    const U128 Y = (R + N / R) / 2;
    if (Y >= R) break;
    R = Y;
  }
  const U128 REST = N - R * R;
  // sqrt(N) exceeds R + 1/2 exactly when REST > R; it never equals it.
  const uint64_t LOW = REST == 0 ? 0 : REST > R ? TOPBIT + 1 : 1;
  return ROUNDPACK(false, K + 63, (R << 64) | LOW);
}

// -1, 0, 1 or 2 (unordered).
constexpr int COMPARE(TSOFTEXT A, TSOFTEXT B) {
  const TPARTS PA = UNPACK(A), PB = UNPACK(B);
  if (PA.KIND >= KNAN || PB.KIND >= KNAN) return 2;
  // The key of a finite magnitude: EXP + 2 * BIAS, in [16321, 49149] for
  // EXP in [-16445, 16383], above the significand; all ones for infinity.
  auto MAGNITUDE = [](const TPARTS& P) -> U128 {
    if (P.KIND == KZERO) return 0;
    if (P.KIND == KINF) return ~U128{0};
    return (static_cast<U128>(static_cast<uint32_t>(P.EXP + 2 * BIAS)) << 64) | P.SIG;
  };
  const U128 MA = MAGNITUDE(PA), MB = MAGNITUDE(PB);
  if (MA == 0 && MB == 0) return 0;
  const int SA = PA.NEG ? -1 : 1, SB = PB.NEG ? -1 : 1;
  if (SA != SB) return SA < SB ? -1 : 1;
  return MA == MB ? 0 : (MA < MB) == (SA > 0) ? -1 : 1;
}

}  // namespace SOFTEXTIMPL

constexpr TSOFTEXT operator+(TSOFTEXT A, TSOFTEXT B) { return SOFTEXTIMPL::ADD(A, B); }
constexpr TSOFTEXT operator-(TSOFTEXT A, TSOFTEXT B) { return SOFTEXTIMPL::SUBTRACT(A, B); }
constexpr TSOFTEXT operator*(TSOFTEXT A, TSOFTEXT B) { return SOFTEXTIMPL::MULTIPLY(A, B); }
constexpr TSOFTEXT operator/(TSOFTEXT A, TSOFTEXT B) { return SOFTEXTIMPL::DIVIDE(A, B); }
constexpr TSOFTEXT operator-(TSOFTEXT A) { return SOFTEXTIMPL::NEGATE(A); }
constexpr TSOFTEXT& operator+=(TSOFTEXT& A, TSOFTEXT B) { return A = A + B; }
constexpr TSOFTEXT& operator-=(TSOFTEXT& A, TSOFTEXT B) { return A = A - B; }
constexpr TSOFTEXT& operator*=(TSOFTEXT& A, TSOFTEXT B) { return A = A * B; }
constexpr TSOFTEXT& operator/=(TSOFTEXT& A, TSOFTEXT B) { return A = A / B; }

constexpr bool operator==(TSOFTEXT A, TSOFTEXT B) { return SOFTEXTIMPL::COMPARE(A, B) == 0; }
constexpr std::partial_ordering operator<=>(TSOFTEXT A, TSOFTEXT B) {
  const int C = SOFTEXTIMPL::COMPARE(A, B);
  return C == 2 ? std::partial_ordering::unordered
         : C < 0 ? std::partial_ordering::less
         : C == 0 ? std::partial_ordering::equivalent
                  : std::partial_ordering::greater;
}

constexpr TSOFTEXT sqrt(TSOFTEXT A) { return SOFTEXTIMPL::SQRT(A); }
constexpr TSOFTEXT fabs(TSOFTEXT A) { return TSOFTEXT::OFBITS(A.MANT, static_cast<uint16_t>(A.SE & 0x7FFF)); }
constexpr bool signbit(TSOFTEXT A) { return (A.SE >> 15) != 0; }
constexpr bool isnan(TSOFTEXT A) { return SOFTEXTIMPL::UNPACK(A).KIND >= SOFTEXTIMPL::KNAN; }
constexpr bool isinf(TSOFTEXT A) { return SOFTEXTIMPL::UNPACK(A).KIND == SOFTEXTIMPL::KINF; }
constexpr bool isfinite(TSOFTEXT A) { return SOFTEXTIMPL::UNPACK(A).KIND <= SOFTEXTIMPL::KFINITE; }
constexpr bool isnormal(TSOFTEXT A) { return isfinite(A) && fabs(A) >= SOFTEXTMINNORMAL; }
