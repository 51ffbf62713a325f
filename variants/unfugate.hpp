// unfugate: the amplitude estimate of a row for a pair, the amplitude test
// on it, and the same test as a gate on |AMP|.
//
// The estimate A of a row with amplitude AMP, axis exponents MEC[5] (of
// planet NPA) and MEC[6] (of planet NPB) and order S, for perturbing planet
// J, is AMP * FAMUS[J], times AXIPO[NPB][MEC6] * AXIPO[NPA][MEC5], halved
// HALVINGPOWER(S, BOUND) times. The test: the row passes when |A| exceeds
// the threshold of the run (1.0E-16 unless a cut says otherwise).
//
// The gates: for a pair, the estimate depends on the row only through AMP,
// MEC[5], MEC[6] and the halving power, and for these fixed it is a chain
// of correctly rounded products of |AMP| with positive factors: it never
// decreases as |AMP| grows. So for each gate class (MEC[5], MEC[6], halving
// power) the test passes exactly for |AMP| at or above the least extended
// value that passes it, found once per pair by bisection with the test
// itself, whatever the threshold and the bound. A row is then tested by
// comparing the exponent and significand of |AMP| with its class's gate,
// and mostly by comparing its AMPKEY with the gate's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "unalltyp.hpp"
#include "unbigmem.hpp"
#include "unfuline.hpp"
#include "unvarpow.hpp"

// The halving rule: a row of order S is halved S times when S lies in
// 1..BOUND, else not at all (power 0; POWAR[0] is 1).
inline int HALVINGPOWER(int S, int BOUND) { return S > 0 && S < BOUND + 1 ? S : 0; }

// What the amplitude test of a pair takes: the axis powers of NPA and NPB,
// the mass factor of the perturbing planet, the halving bound and the
// threshold.
struct TGATING {
  const TAXIROW* XA;
  const TAXIROW* XB;
  TEXTENDED FJ;
  int BOUND;
  TEXTENDED LIMIT;
};

// The estimate A of a row with amplitude AMP, axis exponents MEC5 and MEC6
// and order sum ORDERSUM, with the range checks of the programs in their
// order: MEC6, MEC5 within the axis tables, the order a shortint.
TEXTENDED AMPESTIMATE(TEXTENDED AMP, int MEC5, int MEC6, long ORDERSUM, const TGATING& G);
// Whether the estimate of a row with these exponents and order sum can be
// formed: no range check of AMPESTIMATE fails. (Rows of series file 1 pass
// no test, and the programs accept any of them.)
inline bool ESTIMATEFORMS(int MEC5, int MEC6, long ORDERSUM) {
  return MEC5 >= -MAXAXIEXP && MEC5 <= MAXAXIEXP && MEC6 >= -MAXAXIEXP && MEC6 <= MAXAXIEXP && ORDERSUM >= -128 &&
         ORDERSUM <= 127;
}
// The amplitude test: |A| > G.LIMIT.
inline bool AMPTEST(TEXTENDED AMP, int MEC5, int MEC6, long ORDERSUM, const TGATING& G) {
  return EXTABS(AMPESTIMATE(AMP, MEC5, MEC6, ORDERSUM, G)) > G.LIMIT;
}

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
// exponents within the axis tables and the power 0..SLOTS-1, SLOTS one more
// than the highest order bound of the process (11 by default).
inline constexpr int AXISSPAN = 2 * MAXAXIEXP + 1;
inline constexpr uint32_t NOCLASS = 0xFFFFFFFF;
inline constexpr size_t GATECLASSES(int SLOTS) { return size_t{AXISSPAN} * AXISSPAN * static_cast<size_t>(SLOTS); }

inline uint32_t CLASSINDEX(int MEC5, int MEC6, int H, int SLOTS) {
  return static_cast<uint32_t>(((MEC5 + MAXAXIEXP) * AXISSPAN + (MEC6 + MAXAXIEXP)) * SLOTS + H);
}

// The exponents and power of class C, as CLASSINDEX took them.
struct TCLASSPARTS {
  int MEC5, MEC6, H;
};
inline TCLASSPARTS CLASSPARTS(uint32_t C, int SLOTS) {
  const int X = static_cast<int>(C);
  return {X / (SLOTS * AXISSPAN) - MAXAXIEXP, X / SLOTS % AXISSPAN - MAXAXIEXP, X % SLOTS};
}

// The class of a row with these exponents and order, its power taken with
// the widest bound, SLOTS - 1; NOCLASS when an exponent lies outside the
// tables or the order outside the shortint range: rows that take the
// test's own range checks.
inline uint32_t GATECLASS(int MEC5, int MEC6, long ORDER, int SLOTS) {
  if (MEC5 < -MAXAXIEXP || MEC5 > MAXAXIEXP || MEC6 < -MAXAXIEXP || MEC6 > MAXAXIEXP || ORDER < -128 ||
      ORDER > 127)
    return NOCLASS;
  return CLASSINDEX(MEC5, MEC6, HALVINGPOWER(static_cast<int>(ORDER), SLOTS - 1), SLOTS);
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

// Whether AMP is at or above the gate, by its full exponent and significand.
inline bool ATGATE(TEXTENDED AMP, const TGATE& G) {
  if (G.NEVER) return false;
  const TMAGNITUDE M = MAGNITUDEOF(AMP);
  return M.EXP > G.EXP || (M.EXP == G.EXP && M.MANT >= G.MANT);
}

// The gates of every class, for the pair in hand: one table serves every
// program of a process whose threshold is the same and whose halving
// powers agree on the rows it tests. Its entries are of the pair in hand
// when their STAMP is the table's; zeros until used.
class TGATETABLE {
 public:
  explicit TGATETABLE(int NSLOTS) : SLOTS(NSLOTS) {}
  int CLASSSLOTS() const { return SLOTS; }
  // The gates of the previous pair are void from here on. Obtains the
  // table on first use.
  void NEWPAIR();
  // Finds the gates of the classes CLASSES[0..N-1] that are not yet known
  // for the pair in hand. A class holds exponents within the tables and an
  // order within the shortint range, so no check can fail.
  void CLASSGATES(const uint32_t* CLASSES, size_t N, const TGATING& G);
  // The test of a row of no gate class, with amplitude AMP and fields P,
  // through the gates, with the range checks of the test in their order;
  // 1 when it passes.
  unsigned CHECKEDTEST(TEXTENDED AMP, const TROWFIELDS& P, const TGATING& G);
  const TGATEKEY* KEYS() const { return GATEKEYS.data(); }
  const TGATE& GATEOF(uint32_t C) const { return GATES[C]; }

 private:
  void FILLGATE(size_t CLASS, int MEC5, int MEC6, int S, const TGATING& G);
  const int SLOTS;
  TBIGARRAY<TGATEKEY> GATEKEYS;  // [gate class]
  TBIGARRAY<TGATE> GATES;        // [gate class]
  uint32_t STAMP = 0;
};
