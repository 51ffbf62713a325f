// unfugate: the amplitude test of a row for a pair, and the same test as a
// gate on |AMP|.
//
// The test: the estimate A of a row with amplitude AMP, axis exponents
// MEC[5] (of planet NPA) and MEC[6] (of planet NPB) and order S, for
// perturbing planet J, is AMP * FAMUS[J], times AXIPO[NPB][MEC6] *
// AXIPO[NPA][MEC5], halved HALVINGPOWER(S, BOUND) times; the row passes
// when |A| > 1.0E-16.
//
// The gates: for a pair, the estimate depends on the row only through AMP,
// MEC[5], MEC[6] and the halving power, and for these fixed it is a chain
// of correctly rounded products of |AMP| with positive factors: it never
// decreases as |AMP| grows. So for each gate class (MEC[5], MEC[6], halving
// power) the test passes exactly for |AMP| at or above the least extended
// value that passes it, found once per pair by bisection with the test
// itself. A row is then tested by comparing the exponent and significand of
// |AMP| with its class's gate, and mostly by comparing its AMPKEY with the
// gate's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "unalltyp.hpp"
#include "unbigmem.hpp"
#include "unvarpow.hpp"

struct TSERIESFILE;

// The limit of the amplitude test.
inline constexpr TEXTENDED AMPLIMIT = 1.0E-16_EXT;

// The halving rule: a row of order S is halved S times when S lies in
// 1..BOUND, else not at all (power 0; POWAR[0] is 1).
inline int HALVINGPOWER(int S, int BOUND) { return S > 0 && S < BOUND + 1 ? S : 0; }

// The amplitude test of a row with amplitude AMP, axis exponents MEC5 and
// MEC6 and order sum ORDERSUM, tagged with NPA and NPB, for perturbing
// planet J and halving bound BOUND, with its range checks.
bool AMPPASSES(TEXTENDED AMP, int MEC5, int MEC6, long ORDERSUM, uint8_t NPA, uint8_t NPB, uint8_t J,
               int BOUND);

// The biased exponent and the significand of |X|: ordered as a pair, they
// order the non-negative extended values.
struct TMAGNITUDE {
  uint64_t MANT;
  unsigned EXP;
};
inline TMAGNITUDE MAGNITUDEOF(TEXTENDED X) {
  TMAGNITUDE M;
  uint16_t SE;
  std::memcpy(&M.MANT, &X, 8);
  std::memcpy(&SE, reinterpret_cast<const char*>(&X) + 8, 2);
  M.EXP = SE & 0x7FFFu;
  return M;
}

// The biased exponent (15 bits) and the top 17 bits of the significand
// (bits 47..63) of |X|, 32 bits in all: for non-negative extended values
// X < Y, AMPKEY(X) <= AMPKEY(Y); equal keys leave the order to the full
// exponent and significand.
inline uint32_t AMPKEY(TEXTENDED X) {
  const TMAGNITUDE M = MAGNITUDEOF(X);
  return (static_cast<uint32_t>(M.EXP) << 17) | static_cast<uint32_t>(M.MANT >> 47);
}

// Gate classes: one per (MEC[5], MEC[6], halving power) with both
// exponents within the axis tables and the power 0..MAXHALF.
inline constexpr int AXISSPAN = 2 * MAXAXIEXP + 1;
inline constexpr int GATECLASSES = AXISSPAN * AXISSPAN * (MAXHALF + 1);
inline constexpr uint16_t NOCLASS = 0xFFFF;
static_assert(GATECLASSES <= NOCLASS);

inline int CLASSINDEX(int MEC5, int MEC6, int H) {
  return ((MEC5 + MAXAXIEXP) * AXISSPAN + (MEC6 + MAXAXIEXP)) * (MAXHALF + 1) + H;
}

// The exponents and power of class C, as CLASSINDEX took them.
struct TCLASSPARTS {
  int MEC5, MEC6, H;
};
inline TCLASSPARTS CLASSPARTS(int C) {
  return {C / ((MAXHALF + 1) * AXISSPAN) - MAXAXIEXP, C / (MAXHALF + 1) % AXISSPAN - MAXAXIEXP, C % (MAXHALF + 1)};
}

// The class of a row with these exponents and order, its power taken with
// the widest bound, MAXHALF; NOCLASS when an exponent lies outside the
// tables or the order outside the shortint range: rows that take the
// test's own range checks.
inline uint16_t GATECLASS(int MEC5, int MEC6, long ORDER) {
  if (MEC5 < -MAXAXIEXP || MEC5 > MAXAXIEXP || MEC6 < -MAXAXIEXP || MEC6 > MAXAXIEXP || ORDER < -128 ||
      ORDER > 127)
    return NOCLASS;
  return static_cast<uint16_t>(CLASSINDEX(MEC5, MEC6, HALVINGPOWER(static_cast<int>(ORDER), MAXHALF)));
}

// The gate of a class for the pair in hand. What every row looks at, the
// key, stands apart from the rest, so that the keys in use stay close at
// hand.
struct TGATEKEY {
  uint32_t STAMP;
  uint32_t KEY;  // AMPKEY of the least passing value; all ones if NEVER
};
struct TGATE {
  uint64_t MANT;  // significand of the least passing value
  uint16_t EXP;   // its biased exponent
  bool NEVER;     // no finite value passes
};

// [gate class], zeros until used; an entry is of the pair in hand when its
// STAMP is GATESTAMP.
extern TBIGARRAY<TGATEKEY> GATEKEYS;
extern TBIGARRAY<TGATE> GATES;
extern uint32_t GATESTAMP;

// The gates of the previous pair are void from here on.
void NEWPAIRGATES();

// Whether AMP is at or above the gate, by its full exponent and significand.
inline bool ATGATE(TEXTENDED AMP, const TGATE& G) {
  if (G.NEVER) return false;
  const TMAGNITUDE M = MAGNITUDEOF(AMP);
  return M.EXP > G.EXP || (M.EXP == G.EXP && M.MANT >= G.MANT);
}

// What the amplitude test of a pair takes: the axis powers of NPA and NPB,
// the mass factor of the perturbing planet and the halving bound.
struct TGATING {
  const TAXIROW* XA;
  const TAXIROW* XB;
  TEXTENDED FJ;
  int BOUND;
};

// Finds the gates of the classes CLASSES[0..N-1] that are not yet known
// for the pair in hand. A class holds exponents within the tables and an
// order within the shortint range, so no check can fail.
void CLASSGATES(const uint16_t* CLASSES, size_t N, const TGATING& G);

// The test of row ROW of file S, of no gate class, through the gates, with
// the range checks of the test in their order; 1 when it passes.
unsigned CHECKEDTEST(const TSERIESFILE& S, int32_t ROW, const TGATING& G);
