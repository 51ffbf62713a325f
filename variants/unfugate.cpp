// unfugate: the amplitude test and its gates (see unfugate.hpp).
#include "unfugate.hpp"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "unelmini.hpp"
#include "unfatal.hpp"
#include "unfuordr.hpp"
#include "unfupipe.hpp"
#include "unsercac.hpp"

TBIGARRAY<TGATEKEY> GATEKEYS;
TBIGARRAY<TGATE> GATES;
uint32_t GATESTAMP = 0;

namespace {

// The test itself, with the axis powers of planets NPA (XA) and NPB (XB)
// and the mass factor FJ of the perturbing planet: A = AMP * FJ; A = (XB[MEC6]
// * XA[MEC5]) * A; A = A * POWAR[HALVINGPOWER(order, BOUND)]; |A| > AMPLIMIT.
inline bool AMPTEST(TEXTENDED AMP, int MEC5, int MEC6, long ORDERSUM, const TAXIROW& XA, const TAXIROW& XB,
                    TEXTENDED FJ, int BOUND) {
  TEXTENDED A = AMP * FJ;
  const TEXTENDED PB = XB[MEC6];
  const TEXTENDED PA = XA[MEC5];
  A = (PB * PA) * A;
  const int H = HALVINGPOWER(ORDEROF(ORDERSUM), BOUND);
  if (H > 0) A = A * POWAR[H];
  return EXTABS(A) > AMPLIMIT;
}

// The non-negative extended values in order: exponent and significand.
using TORDINAL = unsigned __int128;

TORDINAL ORDINALOF(TEXTENDED X) {
  const TMAGNITUDE M = MAGNITUDEOF(X);
  return M.EXP == 0 ? TORDINAL(M.MANT) : (TORDINAL(M.EXP - 1) << 63) + M.MANT;
}

TEXTENDED VALUEOF(TORDINAL O) {
  uint64_t MANT;
  uint16_t EXP;
  if (O < (TORDINAL(1) << 63)) {
    EXP = 0;
    MANT = static_cast<uint64_t>(O);
  } else {
    EXP = static_cast<uint16_t>((O >> 63) & 0x7FFF);
    MANT = static_cast<uint64_t>(O - (TORDINAL(EXP - 1) << 63));
  }
  TEXTENDED X = 0.0_EXT;
  std::memcpy(&X, &MANT, 8);
  std::memcpy(reinterpret_cast<char*>(&X) + 8, &EXP, 2);
  return X;
}

// The gate of CLASS: the least extended value at which the test of a row
// with exponents MEC5 and MEC6 and order S passes.
[[gnu::noinline]] void FILLGATE(size_t CLASS, int MEC5, int MEC6, int S, const TAXIROW& XA, const TAXIROW& XB,
                                TEXTENDED FJ, int BOUND) {
  auto PASSES = [&](TORDINAL O) { return AMPTEST(VALUEOF(O), MEC5, MEC6, S, XA, XB, FJ, BOUND); };
  TGATE& G = GATES[CLASS];
  const TORDINAL TOP = ORDINALOF(EXTMAX);
  TORDINAL LO = 0, HI = TOP;
  G.NEVER = !PASSES(HI);
  if (!G.NEVER && !PASSES(LO)) {
    // PASSES(LO) is false, PASSES(HI) true. The gate lies near the limit
    // divided by the factors: steps of growing size from there bracket it
    // within a few values, then bisection finds it.
    TEXTENDED EST = AMPLIMIT / (FJ * (XB[MEC6] * XA[MEC5]) * POWAR[HALVINGPOWER(S, BOUND)]);
    EST = EXTABS(EST);
    if (EXTISFINITE(EST) && EST > 0.0_EXT) {
      const TORDINAL O = std::min(std::max(ORDINALOF(EST), TORDINAL(1)), TOP - 1);
      TORDINAL STEP = 1;
      if (PASSES(O)) {
        HI = O;
        for (;;) {
          const TORDINAL C = HI > LO + STEP ? HI - STEP : LO;
          if (C == LO || !PASSES(C)) {
            LO = C;
            break;
          }
          HI = C;
          STEP *= 2;
        }
      } else {
        LO = O;
        for (;;) {
          const TORDINAL C = HI - LO > STEP ? LO + STEP : HI;
          if (C == HI || PASSES(C)) {
            HI = C;
            break;
          }
          LO = C;
          STEP *= 2;
        }
      }
    }
    while (HI - LO > 1) {
      const TORDINAL MID = LO + (HI - LO) / 2;
      (PASSES(MID) ? HI : LO) = MID;
    }
  } else {
    HI = LO;
  }
  const TEXTENDED X = VALUEOF(HI);
  const TMAGNITUDE M = MAGNITUDEOF(X);
  G.EXP = static_cast<uint16_t>(M.EXP);
  G.MANT = M.MANT;
  GATEKEYS[CLASS] = TGATEKEY{GATESTAMP, G.NEVER ? UINT32_MAX : AMPKEY(X)};
}

// The amplitude test of one row through the gates: the same range checks
// in the same order as the test itself, then a comparison of integers.
inline bool GATEDTEST(TEXTENDED AMP, const TROWFIELDS& P, const TAXIROW& XA, const TAXIROW& XB, TEXTENDED FJ,
                      int BOUND) {
  const int MEC6 = P.MEC[6], MEC5 = P.MEC[5];
  XB.CHECKINDEX(MEC6);
  XA.CHECKINDEX(MEC5);
  const int S = ORDEROF(P.ORDER);
  const size_t C = static_cast<size_t>(CLASSINDEX(MEC5, MEC6, HALVINGPOWER(S, BOUND)));
  if (GATEKEYS[C].STAMP != GATESTAMP) [[unlikely]]
    FILLGATE(C, MEC5, MEC6, S, XA, XB, FJ, BOUND);
  return ATGATE(AMP, GATES[C]);
}

}  // namespace

bool AMPPASSES(TEXTENDED AMP, int MEC5, int MEC6, long ORDERSUM, uint8_t NPA, uint8_t NPB, uint8_t J,
               int BOUND) {
  return AMPTEST(AMP, MEC5, MEC6, ORDERSUM, AXIPO[NPA], AXIPO[NPB], FAMUS[J], BOUND);
}

void NEWPAIRGATES() {
  if (GATES.size() == 0 && (!GATES.OBTAIN(GATECLASSES) || !GATEKEYS.OBTAIN(GATECLASSES)))
    MEMORYERROR("the gate table", GATECLASSES * (sizeof(TGATE) + sizeof(TGATEKEY)));
  if (++GATESTAMP == 0) {
    for (size_t C = 0; C < GATEKEYS.size(); ++C) GATEKEYS[C].STAMP = 0;
    GATESTAMP = 1;
  }
}

void CLASSGATES(const uint16_t* CLASSES, size_t N, const TGATING& G) {
  for (size_t X = 0; X < N; ++X) {
    const uint16_t C = CLASSES[X];
    if (GATEKEYS[C].STAMP == GATESTAMP) continue;
    const TCLASSPARTS P = CLASSPARTS(C);
    FILLGATE(C, P.MEC5, P.MEC6, P.H, *G.XA, *G.XB, G.FJ, G.BOUND);
  }
}

[[gnu::noinline]] unsigned CHECKEDTEST(const TSERIESFILE& S, int32_t ROW, const TGATING& G) {
  HERE.TERM = ROW;
  const unsigned PASS = GATEDTEST(S.ROWS.AMPS[static_cast<size_t>(ROW)], S.ROWS.FIELDS[static_cast<size_t>(ROW)],
                                  *G.XA, *G.XB, G.FJ, G.BOUND);
  HERE.TERM = -1;
  return PASS;
}
