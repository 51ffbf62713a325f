// unsoftext: the 80-bit extended type in software, for machines whose
// long double is not the x87 type.
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
//   Decimal conversions, correctly rounded from and to the exact binary
//     value, ties to even: SOFTEXTREAD (a text of any length), and
//     SOFTEXTSCIENTIFIC and SOFTEXTFIXED, which write what the C library's
//     "%.*Le" and "%*.*Lf" write on x86-64.
// Only integer arithmetic is used (64-bit, and unsigned __int128), so the
// results are the same on every machine. The arithmetic and the reading
// are constexpr: constants are made at compile time.
//
// How it is proven: tests/unit/softext_test.cpp runs every operation here
// and the hardware x87 long double side by side on x86-64, over millions of
// random operands (random bits, near exponents, exact ties, halfway cases
// at every exponent, overflow, subnormals, signed zeros, every integer
// width) and compares the bits; the decimal conversions are compared with
// strtold and snprintf over random and edge texts (long digit strings at
// halfway points). tests/fuzz/softext_fuzz.cpp does the same on arbitrary
// bytes read as operands.
//
// The functions sqrt, fabs, signbit, isnan, isinf, isfinite and isnormal
// carry the names of their <cmath> counterparts, so that code written for
// the hardware type finds them by argument-dependent lookup; isnormal, like
// the x87 type's, compares the magnitude with the smallest normal value.
#pragma once

#include <bit>
#include <cmath>
#include <compare>
#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

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

  static constexpr TSOFTEXT OFBITS(uint64_t MANT, uint16_t SE) {
    TSOFTEXT X;
    X.MANT = MANT;
    X.SE = SE;
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
  if (PA.EXP < PB.EXP || (PA.EXP == PB.EXP && PA.SIG < PB.SIG)) {
    const TPARTS T = PA;
    PA = PB;
    PB = T;
  }
  // Significands at bits 63..126, bit 127 free for the carry.
  const U128 XA = static_cast<U128>(PA.SIG) << 63;
  const U128 XB = SHIFTJAM(static_cast<U128>(PB.SIG) << 63, PA.EXP - PB.EXP);
  if (PA.NEG == PB.NEG) return ROUNDPACK(PA.NEG, PA.EXP + 1, XA + XB);
  if (XA == XB) return ZERO(false);
  return ROUNDPACK(PA.NEG, PA.EXP + 1, XA - XB);
}

constexpr TSOFTEXT NEGATE(TSOFTEXT A) {
  A.SE ^= 0x8000;
  return A;
}

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

// ---------------------------------------------------------------------------
// Unsigned integers of any size, for the exact decimal conversions: limbs
// of 32 bits, least significant first, no zero limb at the top.
struct TBIGNUM {
  std::vector<uint32_t> L;

  constexpr bool ISZERO() const { return L.empty(); }
  // *this = *this * F + A.
  constexpr void MULADD(uint64_t F, uint64_t A) {
    U128 C = A;
    for (uint32_t& X : L) {
      C += U128{X} * F;
      X = static_cast<uint32_t>(C);
      C >>= 32;
    }
    for (; C != 0; C >>= 32) L.push_back(static_cast<uint32_t>(C));
  }
  constexpr void MULPOW5(long long K) {
    for (; K >= 27; K -= 27) MULADD(7450580596923828125ULL, 0);  // 5^27
    uint64_t F = 1;
    for (; K > 0; --K) F *= 5;
    MULADD(F, 0);
  }
  constexpr void SHIFTLEFT(long long N) {
    if (ISZERO() || N == 0) return;
    const size_t W = static_cast<size_t>(N / 32);
    const int B = static_cast<int>(N % 32);
    if (B != 0) {
      uint32_t C = 0;
      for (uint32_t& X : L) {
        const uint32_t T = X >> (32 - B);
        X = (X << B) | C;
        C = T;
      }
      if (C != 0) L.push_back(C);
    }
    L.insert(L.begin(), W, 0);
  }
  // Shifts right by N bits; true when a bit shifted out was set.
  constexpr bool SHIFTRIGHT(long long N) {
    const size_t W = static_cast<size_t>(N / 32);
    const int B = static_cast<int>(N % 32);
    if (W >= L.size()) {
      const bool LOST = !L.empty();
      L.clear();
      return LOST;
    }
    bool LOST = false;
    for (size_t I = 0; I < W; ++I) LOST |= L[I] != 0;
    L.erase(L.begin(), L.begin() + static_cast<std::ptrdiff_t>(W));
    if (B != 0) {
      LOST |= (L[0] << (32 - B)) != 0;
      for (size_t I = 0; I < L.size(); ++I)
        L[I] = (L[I] >> B) | (I + 1 < L.size() ? L[I + 1] << (32 - B) : 0);
    }
    if (L.back() == 0) L.pop_back();
    return LOST;
  }
  constexpr long long BITS() const {
    return L.empty() ? 0 : 32 * static_cast<long long>(L.size()) - std::countl_zero(L.back());
  }
  // Divides by D, returns the remainder.
  constexpr uint32_t DIVSMALL(uint32_t D) {
    uint64_t R = 0;
    for (size_t I = L.size(); I-- > 0;) {
      const uint64_t T = (R << 32) | L[I];
      L[I] = static_cast<uint32_t>(T / D);
      R = T % D;
    }
    while (!L.empty() && L.back() == 0) L.pop_back();
    return static_cast<uint32_t>(R);
  }
};

constexpr int BIGCOMPARE(const TBIGNUM& A, const TBIGNUM& B) {
  if (A.L.size() != B.L.size()) return A.L.size() < B.L.size() ? -1 : 1;
  for (size_t I = A.L.size(); I-- > 0;)
    if (A.L[I] != B.L[I]) return A.L[I] < B.L[I] ? -1 : 1;
  return 0;
}

// A -= B, for A >= B.
constexpr void BIGSUBTRACT(TBIGNUM& A, const TBIGNUM& B) {
  int64_t BORROW = 0;
  for (size_t I = 0; I < A.L.size(); ++I) {
    int64_t T = int64_t{A.L[I]} - (I < B.L.size() ? int64_t{B.L[I]} : 0) - BORROW;
    BORROW = T < 0;
    A.L[I] = static_cast<uint32_t>(T + (BORROW << 32));
  }
  while (!A.L.empty() && A.L.back() == 0) A.L.pop_back();
}

// B * Q, Q below 2^96.
constexpr TBIGNUM BIGTIMES(const TBIGNUM& B, U128 Q) {
  TBIGNUM R;
  U128 C = 0;
  for (uint32_t X : B.L) {
    C += U128{X} * Q;
    R.L.push_back(static_cast<uint32_t>(C));
    C >>= 32;
  }
  for (; C != 0; C >>= 32) R.L.push_back(static_cast<uint32_t>(C));
  while (!R.L.empty() && R.L.back() == 0) R.L.pop_back();
  return R;
}

// X >> U, known to lie below 2^128.
constexpr U128 BIGSHIFTEDDOWN(const TBIGNUM& X, long long U) {
  const size_t W = static_cast<size_t>(U / 32);
  const int B = static_cast<int>(U % 32);
  U128 R = 0;
  for (size_t J = 0; J < 5 && W + J < X.L.size(); ++J) {
    const int S = 32 * static_cast<int>(J) - B;
    if (S < 0)
      R |= X.L[W] >> B;
    else if (S < 128)
      R |= U128{X.L[W + J]} << S;
  }
  return R;
}

// floor(A / B) for a quotient below 2^68; A keeps the rest. Each round
// takes away a quotient estimated low from the top bits (B's top 60 bits
// plus one): the first leaves less than 600 B, the second at most 2 B.
constexpr U128 BIGDIVIDE(TBIGNUM& A, const TBIGNUM& B) {
  const long long LB = B.BITS();
  const long long U = LB > 60 ? LB - 60 : 0;
  const U128 BT = BIGSHIFTEDDOWN(B, U) + 1;
  U128 Q = 0;
  for (;;) {
    const U128 QE = BIGSHIFTEDDOWN(A, U) / BT;
    if (QE == 0) break;
    BIGSUBTRACT(A, BIGTIMES(B, QE));
    Q += QE;
  }
  for (; BIGCOMPARE(A, B) >= 0; ++Q) BIGSUBTRACT(A, B);
  return Q;
}

// ---------------------------------------------------------------------------
// Decimal text to the nearest value.

// Enough significant digits to tell any decimal from every halfway point
// between extended values: the longest of these, odd * 2^-16446 with an
// odd factor below 2^65, has 11516. Digits after these count only as
// "something more".
inline constexpr long long MAXDIGITS = 11600;
inline constexpr long long EXPCAP = 1000000000;

// 10^K for K in 0..27, exact: 5^K * 2^K with 5^K below 2^64.
constexpr TSOFTEXT POW10(int K) {
  uint64_t P = 1;
  for (int I = 0; I < K; ++I) P *= 5;
  TSOFTEXT X(P);
  X.SE = static_cast<uint16_t>(X.SE + K);
  return X;
}

constexpr bool ISDIGIT(char C) { return C >= '0' && C <= '9'; }

constexpr bool READ(std::string_view F, TSOFTEXT& VALUE) {
  size_t I = 0;
  bool NEG = false;
  if (I < F.size() && (F[I] == '+' || F[I] == '-')) NEG = F[I++] == '-';
  const size_t START = I;
  long long NINT = 0, NDIG = 0, FIRST = -1, LAST = -1;  // digit ordinals
  for (; I < F.size() && ISDIGIT(F[I]); ++I, ++NDIG)
    if (F[I] != '0') {
      if (FIRST < 0) FIRST = NDIG;
      LAST = NDIG;
    }
  NINT = NDIG;
  if (I < F.size() && F[I] == '.')
    for (++I; I < F.size() && ISDIGIT(F[I]); ++I, ++NDIG)
      if (F[I] != '0') {
        if (FIRST < 0) FIRST = NDIG;
        LAST = NDIG;
      }
  if (NDIG == 0) return false;
  long long EXP = 0;
  if (I < F.size() && (F[I] == 'e' || F[I] == 'E')) {
    ++I;
    bool ENEG = false;
    if (I < F.size() && (F[I] == '+' || F[I] == '-')) ENEG = F[I++] == '-';
    const size_t B = I;
    for (; I < F.size() && ISDIGIT(F[I]); ++I)
      if (EXP < EXPCAP) EXP = EXP * 10 + (F[I] - '0');
    if (I == B) return false;
    if (ENEG) EXP = -EXP;
  }
  if (I != F.size()) return false;
  if (FIRST < 0) {
    VALUE = ZERO(NEG);
    return true;
  }
  // The significant digits FIRST..KEPT make D; the value is D * 10^E,
  // and more when a non-zero digit after KEPT was dropped.
  const long long KEPT = LAST - FIRST < MAXDIGITS ? LAST : FIRST + MAXDIGITS - 1;
  const bool DROPPED = KEPT < LAST;
  const long long SCI = EXP + NINT - 1 - FIRST;
  const long long E = EXP + NINT - 1 - KEPT;
  if (SCI > 4932) {  // 10^4933 is beyond the largest value
    VALUE = INF(NEG);
    return true;
  }
  if (SCI < -4952) {  // below 10^-4951, less than half the least subnormal
    VALUE = ZERO(NEG);
    return true;
  }
  // The digit of ordinal K.
  auto DIGIT = [&](long long K) { return F[START + static_cast<size_t>(K < NINT ? K : K + 1)] - '0'; };
  if (!DROPPED && KEPT - FIRST < 19 && E >= -27 && E <= 27) {
    uint64_t D = 0;
    for (long long K = FIRST; K <= KEPT; ++K) D = D * 10 + static_cast<uint64_t>(DIGIT(K));
    const TSOFTEXT V = E >= 0 ? MULTIPLY(TSOFTEXT(D), POW10(static_cast<int>(E)))
                              : DIVIDE(TSOFTEXT(D), POW10(static_cast<int>(-E)));
    VALUE = NEG ? NEGATE(V) : V;
    return true;
  }
  // D * 10^E = A / B exactly; Q = floor(A * 2^S / B) in [2^64, 2^66).
  TBIGNUM A, B;
  long long K = FIRST;
  for (; K + 19 <= KEPT + 1; K += 19) {
    uint64_t W = 0;
    for (int J = 0; J < 19; ++J) W = W * 10 + static_cast<uint64_t>(DIGIT(K + J));
    A.MULADD(10000000000000000000ULL, W);
  }
  for (; K <= KEPT; ++K) A.MULADD(10, static_cast<uint64_t>(DIGIT(K)));
  B.L.push_back(1);
  if (E >= 0) {
    A.MULPOW5(E);
    A.SHIFTLEFT(E);
  } else {
    B.MULPOW5(-E);
    B.SHIFTLEFT(-E);
  }
  const long long S = 65 - A.BITS() + B.BITS();
  if (S > 0)
    A.SHIFTLEFT(S);
  else
    B.SHIFTLEFT(-S);
  const U128 Q = BIGDIVIDE(A, B);
  // value = (Q + rest) * 2^-S = (Q * 2^62 + rest') * 2^(65 - S - 127).
  const bool MORE = DROPPED || !A.ISZERO();
  VALUE = ROUNDPACK(NEG, static_cast<int32_t>(65 - S), (Q << 62) | (MORE ? 1 : 0));
  return true;
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
  switch (SOFTEXTIMPL::COMPARE(A, B)) {
    case -1:
      return std::partial_ordering::less;
    case 0:
      return std::partial_ordering::equivalent;
    case 1:
      return std::partial_ordering::greater;
    default:
      return std::partial_ordering::unordered;
  }
}

constexpr TSOFTEXT sqrt(TSOFTEXT A) { return SOFTEXTIMPL::SQRT(A); }
constexpr TSOFTEXT fabs(TSOFTEXT A) {
  A.SE &= 0x7FFF;
  return A;
}
constexpr bool signbit(TSOFTEXT A) { return (A.SE >> 15) != 0; }
constexpr bool isnan(TSOFTEXT A) { return SOFTEXTIMPL::UNPACK(A).KIND >= SOFTEXTIMPL::KNAN; }
constexpr bool isinf(TSOFTEXT A) { return SOFTEXTIMPL::UNPACK(A).KIND == SOFTEXTIMPL::KINF; }
constexpr bool isfinite(TSOFTEXT A) { return SOFTEXTIMPL::UNPACK(A).KIND <= SOFTEXTIMPL::KFINITE; }
constexpr bool isnormal(TSOFTEXT A) { return isfinite(A) && fabs(A) >= SOFTEXTMINNORMAL; }

// A decimal number field: optional sign, digits with an optional point (at
// least one digit), optional exponent (E or e, optional sign, digits). The
// value nearest to it, ties to even; infinity when it lies beyond the
// largest value by half a unit in the last place or more, a subnormal or
// zero below the normal range. False when the field is not of that form.
constexpr bool SOFTEXTREAD(std::string_view FIELD, TSOFTEXT& VALUE) { return SOFTEXTIMPL::READ(FIELD, VALUE); }

// The value of a decimal constant, at compile time.
consteval TSOFTEXT SOFTEXTOF(std::string_view TEXT) {
  TSOFTEXT V{};
  if (!SOFTEXTREAD(TEXT, V)) throw "not a decimal number";
  return V;
}

// X as "%.*Le" writes it with PREC digits after the point: "-" when the
// sign bit is set, the digits correctly rounded (ties to even) from the
// exact value, "e", the exponent's sign and at least two digits; "inf",
// "nan" with their signs.
std::string SOFTEXTSCIENTIFIC(TSOFTEXT X, int PREC);

// X as "%*.*Lf" writes it: fixed point with PREC decimals, correctly
// rounded, right-aligned in WIDTH characters (longer when it needs more);
// "-" when the sign bit is set ("-0.00").
std::string SOFTEXTFIXED(TSOFTEXT X, int WIDTH, int PREC);
