// unfuperi: the frequency and the period of a term, and the table of the
// periods of the pair in hand. For a pair the frequency, the selection by
// period and the period text of a term depend only on its planets (NPA,
// NPB) and on MAR[1] and MAR[4], so each is computed once per pair, in an
// entry of the table.
#pragma once

#include <cstddef>
#include <cstdint>

#include "termvariant.hpp"
#include "unallcon.hpp"
#include "unalltyp.hpp"
#include "unbigmem.hpp"
#include "unfucuts.hpp"
#include "unfuline.hpp"

// The frequency below which the period is written 0 (rad/day).
inline constexpr TEXTENDED MINFREQ = 1.0E-19_EXT;

// Q = MAR[1] * VALAN[NPA] + MAR[4] * VALAN[NPB], radians per day.
TEXTENDED FREQUENCYOF(uint8_t NPA, uint8_t NPB, int8_t MAR1, int8_t MAR4);
TEXTENDED PERIOD(TEXTENDED Q);  // P, Julian years; 0 for |Q| < 1E-19

// MAR[1] and MAR[4] as one number, as a test record holds them: the bytes
// of MAR[1] and MAR[4].
inline uint16_t MARSOF(int8_t MAR1, int8_t MAR4) {
  return static_cast<uint16_t>((static_cast<uint8_t>(MAR1) << 8) | static_cast<uint8_t>(MAR4));
}
inline int8_t MAR1OF(uint16_t MARS) { return static_cast<int8_t>(MARS >> 8); }
inline int8_t MAR4OF(uint16_t MARS) { return static_cast<int8_t>(MARS & 0xFF); }

// The place of an entry: its orientation (NPA < NPB or not), MAR[1] and
// MAR[4]; PERIODINDEX(NPA, NPB, 0, 0) | MARSOF(MAR1, MAR4) is the same.
inline size_t PERIODINDEX(uint8_t NPA, uint8_t NPB, int8_t MAR1, int8_t MAR4) {
  return (static_cast<size_t>(NPA < NPB ? 0 : 1) << 16) | (static_cast<size_t>(static_cast<uint8_t>(MAR1)) << 8) |
         static_cast<uint8_t>(MAR4);
}
inline constexpr size_t PERIODENTRIES = size_t{2} << 16;

// Which side of the period cut the terms of an entry fall on: a bit for
// the programs that keep |Q| > T (SHORTSIDE) and one for those that keep
// |Q| < T (SECULARSIDE); a term with |Q| = T is kept by neither. KNOWN
// marks an entry of the pair in hand, so that a zero byte means "not yet
// computed".
inline constexpr uint8_t SHORTSIDE = 1, SECULARSIDE = 2, KNOWN = 4;
// The bit of the side that program V keeps; 0 for a program that keeps
// every term.
inline uint8_t SIDEOF(const TVARIANT& V) {
  return V.SELECT == TSELECT::SHORTPERIOD ? SHORTSIDE : V.SELECT == TSELECT::SECULAR ? SECULARSIDE : 0;
}

// An entry, of the pair in hand when its side byte is not 0: the end of
// the row lines of its terms (the period column in the width of the
// program that keeps them, and CR LF).
struct TPERIODENTRY {
  bool KEPT;  // some program keeps its terms: END holds their period
  TLINEEND END;
};

// The periods of the pair in hand, for the period cut of the programs
// that share it (the threshold frequency T) and the widths of their period
// columns: one table serves every program of a process with the same period
// cut whose programs keeping the same side write the same width.
class TPERIODTABLE {
 public:
  TPERIODTABLE(TEXTENDED FREQ, int SHORTWIDTH, int SECULARWIDTH)
      : T(FREQ), WIDTH{SHORTWIDTH, SECULARWIDTH} {}
  // The entries of the previous pair are void from here on. Obtains the
  // table on first use.
  void NEWPAIR();
  // The side byte of (NPA, NPB, MAR[1], MAR[4]) in the pair in hand,
  // computed with its entry when it is not yet known.
  uint8_t SIDE(uint8_t NPA, uint8_t NPB, int8_t MAR1, int8_t MAR4) {
    uint8_t& S = SIDES[PERIODINDEX(NPA, NPB, MAR1, MAR4)];
    if (S == 0) [[unlikely]]
      FILL(NPA, NPB, MAR1, MAR4);
    return S;
  }
  // The entry of a term, computed when it is not yet known.
  const TPERIODENTRY& ENTRY(uint8_t NPA, uint8_t NPB, int8_t MAR1, int8_t MAR4) {
    SIDE(NPA, NPB, MAR1, MAR4);
    return PERIODS[PERIODINDEX(NPA, NPB, MAR1, MAR4)];
  }
  // What the pass over the rows looks at: the side bytes, by PERIODINDEX,
  // 0 for an entry not yet known (see SIDE), and the entries.
  const uint8_t* SIDEBYTES() const { return SIDES.data(); }
  const TPERIODENTRY* ENTRIES() const { return PERIODS.data(); }

 private:
  void FILL(uint8_t NPA, uint8_t NPB, int8_t MAR1, int8_t MAR4);
  const TEXTENDED T;
  const int WIDTH[2];  // of the period column, short and secular side; 0: none
  TBIGARRAY<TPERIODENTRY> PERIODS;  // [PERIODINDEX]
  TBIGARRAY<uint8_t> SIDES;         // [PERIODINDEX]
};
