// unsoftdec: the decimal conversions of the software extended type; the
// third of its three layers. It takes texts and gives extended values
// (SOFTEXTREAD, SOFTEXTOF), and takes extended values and gives texts
// (SOFTEXTSCIENTIFIC, SOFTEXTFIXED, in unsoftdec.cpp); it calls the
// arithmetic of unsoftext (UNPACK, and MULTIPLY, DIVIDE or ROUNDPACK for
// the one rounding), the wide integers of unsoftbig, and the digit reading
// undecfld shares with the other readers of decimal fields.
//
// Every conversion is correctly rounded from or to the exact value, ties
// to even: SOFTEXTREAD takes a text of any length; SOFTEXTSCIENTIFIC and
// SOFTEXTFIXED write what the C library's "%.*Le" and "%*.*Lf" write on
// x86-64. The reading is constexpr, so that constants are made at compile
// time (operator""_EXT in unalltyp). tests/unit/softext_test.cpp compares
// them with strtold and snprintf over random and edge texts (long digit
// strings at halfway points); tests/unit/softbound_test.cpp, the bounds
// below at their edges. The bounds are derived beside them, from the output
// of tools/softbounds.py (`--check core` compares it with the constants).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "undecfld.hpp"
#include "unsoftbig.hpp"
#include "unsoftext.hpp"

namespace SOFTEXTIMPL {

// Enough significant digits to tell any decimal from every halfway point
// between extended values (and from the two ends of the range). A halfway
// point is m * 2^-e with m odd below 2^65 and e at most 16446 (half the
// spacing of the subnormals and the first normal binade), so it has at
// most as many digits as (2^65 - 1) * 5^16446: 11515 (softbounds.py). A
// text cut after MAXDIGITS significant digits to T, its rest counted as
// "something more", lies strictly between T and T plus one in T's last
// place; no halfway point does, as each in that decade is a multiple of
// that place. So it rounds as T plus a little.
inline constexpr long long MAXDIGITS = 11515;

// Decades that decide the reading by themselves (softbounds.py): the
// numbers at or beyond (2^65 - 1) * 2^16319 = 1.18973...e4932, the largest
// value and half its last place, round to infinity, so does any with its
// first digit in a decade above SCIOVER; those at or below 2^-16446 =
// 1.82259...e-4951, half the least subnormal, round to zero, so does any
// with its first digit in a decade below SCIUNDER.
inline constexpr long long SCIOVER = 4932;
inline constexpr long long SCIUNDER = -4951;

// 10^K for K in 0..MAXEXACTPOW, exact: 5^K * 2^K (undecfld).
constexpr TSOFTEXT POW10(int K) {
  TSOFTEXT X(POWWORD(5, K));
  X.SE = static_cast<uint16_t>(X.SE + K);
  return X;
}

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
  long long EXP = 0;  // saturated at DIGITSCAP, which still decides (undecfld)
  if (I < F.size() && (F[I] == 'e' || F[I] == 'E')) {
    ++I;
    bool ENEG = false;
    if (I < F.size() && (F[I] == '+' || F[I] == '-')) ENEG = F[I++] == '-';
    const size_t B = I;
    EXP = DIGITSVALUE(F, I);
    if (I == B) return false;
    if (ENEG) EXP = -EXP;
  }
  if (I != F.size()) return false;
  if (FIRST < 0) {
    VALUE = ZERO(NEG);
    return true;
  }
  // The significant digits FIRST..KEPT make D; the value is D * 10^E,
  // and more when a non-zero digit after KEPT was dropped. SCI is the
  // decade of the first digit.
  const long long KEPT = LAST - FIRST < MAXDIGITS ? LAST : FIRST + MAXDIGITS - 1;
  const bool DROPPED = KEPT < LAST;
  const long long SCI = EXP + NINT - 1 - FIRST;
  const long long E = EXP + NINT - 1 - KEPT;
  if (SCI > SCIOVER) {
    VALUE = INF(NEG);
    return true;
  }
  if (SCI < SCIUNDER) {
    VALUE = ZERO(NEG);
    return true;
  }
  // The digit of ordinal K.
  auto DIGIT = [&](long long K) { return F[START + static_cast<size_t>(K < NINT ? K : K + 1)] - '0'; };
  // D below 10^WORDDIGITS < 2^64 and an exact power of ten: one rounding.
  if (!DROPPED && KEPT - FIRST < WORDDIGITS && E >= -MAXEXACTPOW && E <= MAXEXACTPOW) {
    uint64_t D = 0;
    for (long long K = FIRST; K <= KEPT; ++K) D = D * 10 + static_cast<uint64_t>(DIGIT(K));
    const TSOFTEXT V = E >= 0 ? MULTIPLY(TSOFTEXT(D), POW10(static_cast<int>(E)))
                              : DIVIDE(TSOFTEXT(D), POW10(static_cast<int>(-E)));
    VALUE = NEG ? NEGATE(V) : V;
    return true;
  }
  // D * 10^E = A / B exactly. With S = 65 - bits(A) + bits(B), A * 2^S lies
  // in [2^(64 + bits(B)), 2^(65 + bits(B))) and B in [2^(bits(B) - 1),
  // 2^bits(B)), so Q = floor(A * 2^S / B) lies in [2^64, 2^66): within
  // BIGDIVIDE's 2^68, and Q * 2^62 within 128 bits with the rounding place
  // at bit 62 or above, the rest's bit 0 below it (ROUNDPACK).
  constexpr uint64_t WORDTEN = POWWORD(10, WORDDIGITS);
  TBIGNUM A, B;
  long long K = FIRST;
  for (; K + WORDDIGITS <= KEPT + 1; K += WORDDIGITS) {
    uint64_t W = 0;
    for (int J = 0; J < WORDDIGITS; ++J) W = W * 10 + static_cast<uint64_t>(DIGIT(K + J));
    A.MULADD(WORDTEN, W);
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
