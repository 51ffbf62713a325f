// unrowone: the reading of a term that stands on one line in the usual
// shape, at once (see TSERIESREADER::ONELINETERM), with its twelve integer
// cells read four at a time in vector registers (SSE2; one by one on other
// processors).
#include "unrowtxt.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstring>

#include "unforstr.hpp"
#include "unreanum.hpp"

namespace {

#if defined(__SSE2__)

// Four cells at Q[0..15] at once: true, with their values in V[0..3], when
// all four are cells (see READTWELVECELLS). Cell C is the 32-bit lane C of
// the register, its characters 0..3 (character 0 the blank) in the lane's
// bytes 0..3, lowest first; the masks below are per byte, all ones where a
// character is of the kind. Garbage in V when false.
inline bool FOURCELLS(const unsigned char* Q, int8_t* V) {
  const __m128i X = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Q));
  const __m128i D = _mm_sub_epi8(X, _mm_set1_epi8('0'));
  // A digit: its byte minus '0' is 0..9 as an unsigned byte, so the lesser
  // of it and 9 is itself.
  const __m128i DIGIT = _mm_cmpeq_epi8(_mm_min_epu8(D, _mm_set1_epi8(9)), D);
  const __m128i BLANK = _mm_cmpeq_epi8(X, _mm_set1_epi8(' '));
  const __m128i MINUS = _mm_cmpeq_epi8(X, _mm_set1_epi8('-'));
  // Character 2 of a cell: a digit after a digit, blank or minus, or a
  // blank or minus after a blank (the mask of character 1 moved up one
  // byte within its lane: a 32-bit shift by 8 bits moves no byte into the
  // next cell). What character 1 may be is tested here, through it.
  const __m128i SECOND = _mm_or_si128(
      _mm_and_si128(DIGIT, _mm_slli_epi32(_mm_or_si128(DIGIT, _mm_or_si128(BLANK, MINUS)), 8)),
      _mm_and_si128(_mm_or_si128(BLANK, MINUS), _mm_slli_epi32(BLANK, 8)));
  // One bit per byte (bit 4C + K for character K of cell C): character 0
  // of every cell a blank (0x1111), character 2 as above (0x4444),
  // character 3 a digit (0x8888); all of them together make 0xDDDD.
  const int SHAPE = (_mm_movemask_epi8(BLANK) & 0x1111) | (_mm_movemask_epi8(SECOND) & 0x4444) |
                    (_mm_movemask_epi8(DIGIT) & 0x8888);
  // 100 * first + 10 * second + third digit, blanks and minus counting 0:
  // the characters widened to 16 bits, multiplied by (0, 100, 10, 1) and
  // added in pairs into 32 bits (0 * c0 + 100 * c1 and 10 * c2 + c3, for
  // two cells in LO and two in HI), packed back to 16 bits (at most 900:
  // the saturation of the pack never acts) and added in pairs again, one
  // cell per 32-bit lane of N.
  const __m128i DIGITS = _mm_and_si128(D, DIGIT);
  const __m128i WEIGHTS = _mm_setr_epi16(0, 100, 10, 1, 0, 100, 10, 1);
  const __m128i LO = _mm_madd_epi16(_mm_unpacklo_epi8(DIGITS, _mm_setzero_si128()), WEIGHTS);
  const __m128i HI = _mm_madd_epi16(_mm_unpackhi_epi8(DIGITS, _mm_setzero_si128()), WEIGHTS);
  __m128i N = _mm_madd_epi16(_mm_packs_epi32(LO, HI), _mm_set1_epi16(1));
  // Three digits make at most 127 (a minus leaves room for two, at most
  // 99, so -128 is never a cell).
  const int BIG = _mm_movemask_epi8(_mm_cmpgt_epi32(N, _mm_set1_epi32(127)));
  // A minus as character 1 or 2 (bytes 1 and 2 of the lane: 0x00FFFF00)
  // makes the cell negative: NEG is all ones in its lane, and (N ^ NEG) -
  // NEG is -N there, N elsewhere.
  const __m128i NEG =
      _mm_xor_si128(_mm_cmpeq_epi32(_mm_and_si128(MINUS, _mm_set1_epi32(0x00FFFF00)), _mm_setzero_si128()),
                    _mm_set1_epi32(-1));
  N = _mm_sub_epi32(_mm_xor_si128(N, NEG), NEG);
  // Lanes to 16 and then 8 bits with signed saturation: a cell's value,
  // -99..127, passes both unchanged; a larger one saturates, but then BIG
  // rejects the four cells. The low four bytes are the four values.
  const __m128i W = _mm_packs_epi32(N, N);
  const int32_t BYTES = _mm_cvtsi128_si32(_mm_packs_epi16(W, W));
  std::memcpy(V, &BYTES, 4);
  return SHAPE == 0xDDDD && BIG == 0;
}

// The first character at or after P with code 32 or below. The line in
// hand ends at or after P within the buffer, so this reads at most 15
// characters past its end.
inline size_t TOKENEND(const unsigned char* B, size_t P) {
  const __m128i LIMIT = _mm_set1_epi8(32);
  for (;;) {
    const __m128i X = _mm_loadu_si128(reinterpret_cast<const __m128i*>(B + P));
    // X <= 32 as unsigned bytes: the lesser of X and 32 is X.
    const int M = _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(X, LIMIT), X));
    if (M != 0) return P + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(M)));
    P += 16;
  }
}

#else

// The first character at or after P with code 32 or below.
inline size_t TOKENEND(const unsigned char* B, size_t P) {
  while (B[P] > 32) ++P;
  return P;
}

#endif

// One cell (see READTWELVECELLS) character by character: a blank, a digit
// last, before it a digit after a digit, blank or minus, or a blank or
// minus after a blank.
inline bool PLAINCELL(const unsigned char* Q, int8_t& V) {
  auto DIGIT = [](unsigned char C) { return C >= '0' && C <= '9'; };
  if (Q[0] != ' ' || !DIGIT(Q[3])) return false;
  int X = Q[3] - '0';
  if (DIGIT(Q[2])) {
    X += 10 * (Q[2] - '0');
    if (DIGIT(Q[1]))
      X += 100 * (Q[1] - '0');
    else if (Q[1] == '-')
      X = -X;
    else if (Q[1] != ' ')
      return false;
  } else {
    if (Q[1] != ' ' || (Q[2] != ' ' && Q[2] != '-')) return false;
    if (Q[2] == '-') X = -X;
  }
  V = static_cast<int8_t>(X);
  return X <= 127;
}

// The characters of the twelve cells, four to a cell.
constexpr size_t CELLSPAN = 12 * 4;

// The longest line the one-line reading looks for the end of; a longer one
// (never written by the series files' own form, about 80 characters) is
// read field by field.
constexpr size_t MAXONELINE = 2048;

}  // namespace

bool READTWELVECELLSPLAIN(const unsigned char* Q, int8_t* V) {
  bool ALL = true;
  for (int I = 0; I < 12; ++I) ALL = PLAINCELL(Q + 4 * I, V[I]) && ALL;
  return ALL;
}

bool READTWELVECELLS(const unsigned char* Q, int8_t* V) {
#if defined(__SSE2__)
  // & rather than &&: every cell read, no branch on the outcome.
  const int A = FOURCELLS(Q, V), B = FOURCELLS(Q + 16, V + 4), C = FOURCELLS(Q + 32, V + 8);
  return (A & B & C) != 0;
#else
  return READTWELVECELLSPLAIN(Q, V);
#endif
}

// A term that stands on one line of the buffer, in the usual shape:
// blanks or tabs between the fields, integers of at most three digits
// within -128..127, the code letter after the two characters that follow
// MAR[6]. Read here in one pass, with the same results as PLAINTERM;
// anything else (and every failure) is left to PLAINTERM, which starts
// again from the same place.
bool TSERIESREADER::ONELINETERM(TROWVAR& R, TAMPTEXT* T) {
  if (LEN - POS < MAXONELINE && !ATEND) FILL();
  const unsigned char* const B = BUF;
  const size_t SPAN = std::min<size_t>(LEN - POS, MAXONELINE);
  const void* NLP = std::memchr(B + POS, '\n', SPAN);
  if (NLP == nullptr) return false;
  const size_t NL = static_cast<size_t>(static_cast<const unsigned char*>(NLP) - B);
  auto BLANK = [](unsigned char C) { return C == ' ' || C == '\t'; };
  size_t P = POS;
  while (BLANK(B[P])) ++P;
  const size_t A = P;
  P = TOKENEND(B, P);
  if (P == A || !BLANK(B[P])) return false;
  int DLEN = 0;
  TEXTENDED AMP;
  if (!READREAL({reinterpret_cast<const char*>(B + A), P - A}, AMP, T != nullptr ? T->C : nullptr, &DLEN))
    return false;
  int8_t V[12];
  // An integer not in a cell: blanks or tabs, an optional sign, one to
  // three digits.
  auto FREEINT = [&](size_t& Q, int8_t& X) {
    while (BLANK(B[Q])) ++Q;
    const bool NEG = B[Q] == '-';
    if (B[Q] == '-' || B[Q] == '+') ++Q;
    const size_t D = Q;
    int Y = 0;
    while (Q - D < 3 && B[Q] >= '0' && B[Q] <= '9') Y = Y * 10 + (B[Q++] - '0');
    Y = NEG ? -Y : Y;
    X = static_cast<int8_t>(Y);
    return Q > D && B[Q] <= 32 && Y >= -128 && Y <= 127;
  };
  // Most files write each integer in four columns, a blank first (see
  // READTWELVECELLS).
  const bool CELLS = P + CELLSPAN < NL && READTWELVECELLS(B + P, V);
  if (CELLS && B[P + CELLSPAN] <= 32) {  // the last cell ends its field too
    P += CELLSPAN;
  } else {
    for (int I = 0; I < 12; ++I)
      if (!FREEINT(P, V[I])) return false;
  }
  // The two characters after MAR[6]: neither a line end nor the end mark.
  auto ENDLIKE = [](unsigned char X) { return X == 26 || X == '\n' || X == '\r'; };
  if (ENDLIKE(B[P]) || ENDLIKE(B[P + 1])) return false;
  P += 2;
  const unsigned char C = B[P];
  if (C != 'S' && C != 'C') return false;
  for (size_t Q = P + 1; Q < NL; ++Q)
    if (B[Q] == 26) return false;
  // Accepted: the state moves past the term's line.
  R.AMP = AMP;
  if (T != nullptr) {
    if (DLEN == 0 || !EXTISNORMAL(AMP)) DLEN = AMPDIGITS(AMP, T->C);
    T->LEN = static_cast<uint8_t>(DLEN);
  }
  for (int I = 0; I < 6; ++I) R.MEC[I + 1] = V[I];
  for (int I = 0; I < 6; ++I) R.MAR[I + 1] = V[I + 6];
  R.FCS = static_cast<char>(C);
  TERMSTART = LINE;
  POS = NL + 1;
  NEWLINE(POS);
  ++DONE;
  return true;
}
