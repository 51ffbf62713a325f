// unfuline: the row line, the one line of output per term, and the only
// place that knows its columns:
//
//   1-8    the planets NPA and NPB, each in three columns, and two blanks
//   9      the sign of the amplitude: "-" when its sign bit is set, else a
//          blank
//   10-    the magnitude text of the amplitude (see AMPDIGITS), a blank,
//          MEC[1..6] and, after a blank, MAR[1..6], each in four columns,
//          two blanks: together the row text
//   then   the code letter, and, where the program has one, two blanks and
//          the period; CR LF (the line end, TLINEEND, made once per period)
//
// The planets, the sign and the code come from the term as the pipeline
// made it. The row text is made as the line is written (PUTROW), from the
// row's fields (TROWFIELDS), which keep the digits of the amplitude text
// that the reader gave; PUTPLAINROW makes it from the term itself the
// plain way, for the reference.
#pragma once

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "unalltyp.hpp"
#include "unrowtxt.hpp"
#include "untxtout.hpp"

// The fields of a row but its amplitude, in 32 bytes: exponents,
// multipliers, code, flags, the order (not yet tested against the
// shortint range) and the magnitude text of the amplitude as digits: the
// digit before the point (LEAD), the 16 after it (FRACTION, four bits
// each, the first lowest) and the exponent (EXP10).
struct TROWFIELDS {
  TDIMSEL MEC;
  TDIMARG MAR;
  char FCS;
  uint8_t FLAGS;  // AMPNEG, CODESINE: the sign of AMP and the code as read
  int16_t ORDER;
  uint64_t FRACTION;
  int16_t EXP10;
  uint8_t LEAD;
  uint8_t SPARE[5];
};
static_assert(sizeof(TROWFIELDS) == 32);

inline constexpr uint8_t AMPNEG = 1;
inline constexpr uint8_t CODESINE = 2;

// The shortints -128..127 right-aligned in four columns.
struct TCELLTEXTS {
  char C[256][4];
  constexpr TCELLTEXTS() : C() {
    for (int V = -128; V <= 127; ++V) {
      char* P = C[V + 128];
      int A = V < 0 ? -V : V, I = 3;
      for (int X = 0; X < 4; ++X) P[X] = ' ';
      do {
        P[I--] = static_cast<char>('0' + A % 10);
        A /= 10;
      } while (A > 0);
      if (V < 0) P[I] = '-';
    }
  }
  const char* operator()(int8_t V) const { return C[V + 128]; }
};
inline constexpr TCELLTEXTS CELLTEXT;

// The 16 decimal digits at D as four bits each, the first lowest, and
// back; the plain forms, in 64-bit words, on any processor.
inline uint64_t PACKDIGITSPLAIN(const char* D) {
  uint64_t HALF[2];
  for (int H = 0; H < 2; ++H) {
    uint64_t W = 0;
    for (int K = 7; K >= 0; --K) W = W << 8 | static_cast<uint8_t>(D[8 * H + K] - '0');
    // Each digit pair into the low byte of its two: the second digit's four
    // bits above the first; then the four pair bytes side by side.
    W = (W | W >> 4) & 0x00FF00FF00FF00FFu;
    W = (W | W >> 8) & 0x0000FFFF0000FFFFu;
    HALF[H] = (W | W >> 16) & 0xFFFFFFFFu;
  }
  return HALF[0] | HALF[1] << 32;
}
inline void UNPACKDIGITSPLAIN(char* O, uint64_t F) {
  for (int H = 0; H < 2; ++H, F >>= 32) {
    // The four pair bytes spread to every second byte, then each pair's
    // digits into bytes of their own.
    uint64_t W = F & 0xFFFFFFFFu;
    W = (W | W << 16) & 0x0000FFFF0000FFFFu;
    W = (W | W << 8) & 0x00FF00FF00FF00FFu;
    W = ((W | W << 4) & 0x0F0F0F0F0F0F0F0Fu) + 0x3030303030303030u;
    for (int K = 0; K < 8; ++K, W >>= 8) O[8 * H + K] = static_cast<char>(W);
  }
}

#if defined(__SSE2__)
// The same in one vector register.
inline uint64_t PACKDIGITS(const char* D) {
  const __m128i V = _mm_sub_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(D)), _mm_set1_epi8('0'));
  const __m128i PAIRS = _mm_and_si128(_mm_or_si128(V, _mm_srli_epi16(V, 4)), _mm_set1_epi16(0x00FF));
  return static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_packus_epi16(PAIRS, PAIRS)));
}
inline void UNPACKDIGITS(char* O, uint64_t F) {
  const __m128i X = _mm_cvtsi64_si128(static_cast<long long>(F));
  const __m128i NIBBLE = _mm_set1_epi8(0x0F);
  const __m128i V = _mm_unpacklo_epi8(_mm_and_si128(X, NIBBLE), _mm_and_si128(_mm_srli_epi16(X, 4), NIBBLE));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(O), _mm_add_epi8(V, _mm_set1_epi8('0')));
}
#else
inline uint64_t PACKDIGITS(const char* D) { return PACKDIGITSPLAIN(D); }
inline void UNPACKDIGITS(char* O, uint64_t F) { UNPACKDIGITSPLAIN(O, F); }
#endif

// The fields of term R, whose amplitude has the magnitude text A, as
// AMPDIGITS writes that of a finite value: "d.dddddddddddddddde+XX", with
// more exponent digits outside -99..99. The order is left to the caller.
inline void MAKEFIELDS(TROWFIELDS& P, const TROWVAR& R, const TAMPTEXT& A) {
  P.MEC = R.MEC;
  P.MAR = R.MAR;
  P.FCS = R.FCS;
  P.FLAGS = static_cast<uint8_t>((EXTSIGNBIT(R.AMP) ? AMPNEG : 0) | (R.FCS == 'S' ? CODESINE : 0));
  P.LEAD = static_cast<uint8_t>(A.C[0] - '0');
  P.FRACTION = PACKDIGITS(A.C + 2);
  int E = 0;
  for (int K = 20; K < A.LEN; ++K) E = E * 10 + (A.C[K] - '0');
  P.EXP10 = static_cast<int16_t>(A.C[19] == '-' ? -E : E);
  std::memset(P.SPARE, 0, sizeof P.SPARE);
}

// The longest row text: an amplitude text of 24 characters (a four-digit
// exponent), the twelve cells and the blanks.
inline constexpr size_t MAXROWTEXTLEN = 24 + 1 + 24 + 1 + 24 + 2;

// Columns 1 to 8 of the row lines of planets NPA and NPB.
struct TPLANETS {
  char C[8];
};
TPLANETS PLANETSTEXT(uint8_t NPA, uint8_t NPB);

// What follows the code: two blanks and the period, and CR LF; or CR LF
// alone.
struct TLINEEND {
  uint8_t LEN;
  char TXT[42];
};
// The end of the row lines with period P (Julian years) written in fixed
// point in WIDTH columns; cut to 38 characters, which |P| < 2e17 never
// reaches.
void PERIODLINEEND(TLINEEND& E, TEXTENDED P, int WIDTH);
// The end of the row lines without a period.
void PLAINLINEEND(TLINEEND& E);

// The room one row line takes at most, with what PUTROW writes past its
// end: the planets (8) and the sign (1), the row text, the code (1), and
// the whole of a line end's TXT, which PUTROW copies in one piece whatever
// its length.
inline constexpr size_t MAXROWTEXT = 8 + 1 + MAXROWTEXTLEN + 1 + sizeof(TLINEEND::TXT);

// The row text of P at O (see TROWFIELDS); returns its end. Writes at most
// MAXROWTEXTLEN characters.
inline char* PUTROWTEXT(char* O, const TROWFIELDS& P) {
  O[0] = static_cast<char>('0' + P.LEAD);
  O[1] = '.';
  UNPACKDIGITS(O + 2, P.FRACTION);
  O[18] = 'e';
  O[19] = P.EXP10 < 0 ? '-' : '+';
  unsigned A = static_cast<unsigned>(P.EXP10 < 0 ? -P.EXP10 : P.EXP10);
  char* Q = O + 20;
  if (A >= 100) [[unlikely]] {
    // Three or four digits.
    const int N = A >= 1000 ? 4 : 3;
    for (int K = N - 1; K >= 0; --K, A /= 10) Q[K] = static_cast<char>('0' + A % 10);
    Q += N;
  } else {
    Q[0] = static_cast<char>('0' + A / 10);
    Q[1] = static_cast<char>('0' + A % 10);
    Q += 2;
  }
  *Q++ = ' ';
  const int8_t* const MEC = P.MEC.DATA();
  const int8_t* const MAR = P.MAR.DATA();
  for (int I = 0; I < NUMSEL; ++I, Q += 4) std::memcpy(Q, CELLTEXT(MEC[I]), 4);
  *Q++ = ' ';
  for (int I = 0; I < MAXARG; ++I, Q += 4) std::memcpy(Q, CELLTEXT(MAR[I]), 4);
  Q[0] = ' ';
  Q[1] = ' ';
  return Q + 2;
}

// One row line at O: planets, sign, the row text of P, code and the line
// end E (no period, CR LF alone, when E is null); returns its end. Writes
// up to MAXROWTEXT characters whatever the line's length.
inline char* PUTROW(char* O, const char* PLANETS, char SIGN, const TROWFIELDS& P, char FCS, const TLINEEND* E) {
  std::memcpy(O, PLANETS, 8);
  O[8] = SIGN;
  char* Q = PUTROWTEXT(O + 9, P);
  *Q++ = FCS;
  if (E != nullptr) {
    std::memcpy(Q, E->TXT, sizeof E->TXT);
    return Q + E->LEN;
  }
  Q[0] = '\r';
  Q[1] = '\n';
  return Q + 2;
}

// The estimate field of a row line (--estimates), before its CR LF: two
// blanks and the magnitude text of the estimate A, as the amplitude's
// (FASTAMPDIGITS); "none" where it cannot be formed (FORMS false) and "inf"
// where it is infinite, right-aligned in 24 characters. Writes at most
// MAXESTIMATE characters; returns the end.
inline constexpr size_t MAXESTIMATE = 2 + 24;
char* PUTESTIMATE(char* O, bool FORMS, TEXTENDED A);
// The same made the plain way, with AMPDIGITS.
std::string PLAINESTIMATE(bool FORMS, TEXTENDED A);

// The row text of term R made the plain way: AMPDIGITS of its amplitude,
// the cells by FORMATINT.
std::string PLAINROWTEXT(const TROWVAR& R);
// The row line of term R, the row text made the plain way, written to F;
// ESTIMATE, when given, before its CR LF.
void PUTPLAINROW(TTEXTOUT& F, const char* PLANETS, char SIGN, const TROWVAR& R, char FCS, const TLINEEND* E,
                 std::string_view ESTIMATE = {});
