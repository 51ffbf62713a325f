// unfuline: the row line, the one line of output per term, and the only
// place that knows its columns:
//
//   1-8    the planets NPA and NPB, each in three columns, and two blanks
//   9      the sign of the amplitude: "-" when its sign bit is set, else a
//          blank
//   10-    the magnitude text of the amplitude (see AMPDIGITS), a blank,
//          MEC[1..6] and, after a blank, MAR[1..6], each in four columns,
//          two blanks; together the row text (TROWTEXT), made once per row
//          when its file is parsed
//   then   the code letter, and, where the program has one, two blanks and
//          the period; CR LF (the line end, TLINEEND, made once per period)
//
// The planets, the sign and the code come from the term as the pipeline
// made it.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "unalltyp.hpp"
#include "unrowtxt.hpp"

// The row text of a row: the text from column 10 to the blanks before the
// code (at most 24 + 1 + 24 + 1 + 24 + 2 characters), its length, and the
// sign of AMP and the code (FLAGS: AMPNEG, CODESINE) as the file gives
// them.
struct TROWTEXT {
  char C[78];
  uint8_t LEN;
  uint8_t FLAGS;
};
static_assert(sizeof(TROWTEXT) == 80);

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

// The row text of row R, whose amplitude has the magnitude text A.
inline void MAKEROWTEXT(TROWTEXT& T, const TROWVAR& R, const TAMPTEXT& A) {
  char* Q = T.C;
  std::memcpy(Q, A.C, A.LEN);  // at most 24 characters
  Q += A.LEN;
  *Q++ = ' ';
  for (int I = 1; I <= NUMSEL; ++I, Q += 4) std::memcpy(Q, CELLTEXT(R.MEC[I]), 4);
  *Q++ = ' ';
  for (int I = 1; I <= MAXARG; ++I, Q += 4) std::memcpy(Q, CELLTEXT(R.MAR[I]), 4);
  *Q++ = ' ';
  *Q++ = ' ';
  T.LEN = static_cast<uint8_t>(Q - T.C);
  T.FLAGS = static_cast<uint8_t>((EXTSIGNBIT(R.AMP) ? AMPNEG : 0) | (R.FCS == 'S' ? CODESINE : 0));
}

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

// The most characters one row line takes.
inline constexpr size_t MAXROWTEXT = 8 + 1 + sizeof(TROWTEXT::C) + 1 + sizeof(TLINEEND::TXT);

// One row line at O: planets, sign, row text, code and the line end E (no
// period, CR LF alone, when E is null); returns its end. Writes up to
// MAXROWTEXT characters whatever the line's length.
inline char* PUTROW(char* O, const char* PLANETS, char SIGN, const TROWTEXT& T, char FCS, const TLINEEND* E) {
  std::memcpy(O, PLANETS, 8);
  O[8] = SIGN;
  std::memcpy(O + 9, T.C, sizeof T.C);
  char* Q = O + 9 + T.LEN;
  *Q++ = FCS;
  if (E != nullptr) {
    std::memcpy(Q, E->TXT, sizeof E->TXT);
    return Q + E->LEN;
  }
  Q[0] = '\r';
  Q[1] = '\n';
  return Q + 2;
}

// The same row line written to the output file F.
void WRITEROW(const char* PLANETS, char SIGN, const TROWTEXT& T, char FCS, const TLINEEND* E);
