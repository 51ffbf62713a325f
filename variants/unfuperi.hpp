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
#include "unfuline.hpp"

// The frequency of a period of 200 Julian years (rad/day), which parts
// short-period from secular terms; the days of a Julian year; the frequency
// below which the period is written 0.
inline constexpr TEXTENDED THRESHOLD = TWOPIEXT / 73050.0_EXT;
inline constexpr TEXTENDED YEARDAYS = 365.25_EXT;
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

// The entry of (NPA, NPB, MAR[1], MAR[4]) for the pair in hand, when its
// STAMP is PERIODSTAMP: whether the program keeps the terms, and the end
// of their row lines (the period column, where the program has one).
struct TPERIODENTRY {
  uint32_t STAMP;
  bool KEEP;
  TLINEEND END;
};
static_assert(sizeof(TPERIODENTRY) == 48);

extern TBIGARRAY<TPERIODENTRY> PERIODS;  // [PERIODINDEX], zeros until used
extern uint32_t PERIODSTAMP;

// Whether the terms of each period entry are kept in the pair in hand,
// one byte each, so that the pass over the rows finds it close at hand:
// 0 not yet known, else 1 + KEEP.
extern TBIGARRAY<uint8_t> KEEPS;  // [PERIODINDEX]

// The place of an entry: its orientation (NPA < NPB or not), MAR[1] and
// MAR[4]; PERIODINDEX(NPA, NPB, 0, 0) | MARSOF(MAR1, MAR4) is the same.
inline size_t PERIODINDEX(uint8_t NPA, uint8_t NPB, int8_t MAR1, int8_t MAR4) {
  return (static_cast<size_t>(NPA < NPB ? 0 : 1) << 16) | (static_cast<size_t>(static_cast<uint8_t>(MAR1)) << 8) |
         static_cast<uint8_t>(MAR4);
}

// The entries of the previous pair are void from here on.
void NEWPAIRPERIODS();

// The entry of a term of the pair in hand, filled when it is not yet.
const TPERIODENTRY& PERIODOF(const TVARIANT& V, uint8_t NPA, uint8_t NPB, int8_t MAR1, int8_t MAR4);
const TPERIODENTRY& PERIODOF(const TVARIANT& V, const TROWVAR& R);

// Notes in KEEPS whether the terms of (NPA, NPB, MAR[1], MAR[4]) are kept
// in the pair in hand, filling the period entry on the way.
void FILLKEEP(const TVARIANT& V, uint8_t NPA, uint8_t NPB, int8_t MAR1, int8_t MAR4);
