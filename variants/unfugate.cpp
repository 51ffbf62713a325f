// unfugate: the amplitude estimate, the test and its gates (see
// unfugate.hpp).
#include "unfugate.hpp"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "unahead.hpp"
#include "unfatal.hpp"
#include "unfuordr.hpp"

namespace {

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

}  // namespace

TEXTENDED AMPESTIMATE(TEXTENDED AMP, int MEC5, int MEC6, long ORDERSUM, const TGATING& G) {
  TEXTENDED A = AMP * G.FJ;
  const TEXTENDED PB = (*G.XB)[MEC6];
  const TEXTENDED PA = (*G.XA)[MEC5];
  A = (PB * PA) * A;
  const int H = HALVINGPOWER(ORDEROF(ORDERSUM), G.BOUND);
  if (H > 0) A = A * POWAR[H];
  return A;
}

// The gate of CLASS: the least extended value at which the test of a row
// with exponents MEC5 and MEC6 and order S passes.
[[gnu::noinline]] void TGATETABLE::FILLGATE(size_t CLASS, int MEC5, int MEC6, int S, const TGATING& G) {
  auto PASSES = [&](TORDINAL O) { return AMPTEST(VALUEOF(O), MEC5, MEC6, S, G); };
  TGATE& T = GATES[CLASS];
  const TORDINAL TOP = ORDINALOF(EXTMAX);
  TORDINAL LO = 0, HI = TOP;
  T.NEVER = !PASSES(HI);
  if (!T.NEVER && !PASSES(LO)) {
    // PASSES(LO) is false, PASSES(HI) true. The gate lies near the limit
    // divided by the factors: steps of growing size from there bracket it
    // within a few values, then bisection finds it.
    const TAXIROW& XA = *G.XA;
    const TAXIROW& XB = *G.XB;
    TEXTENDED EST = G.LIMIT / (G.FJ * (XB[MEC6] * XA[MEC5]) * POWAR[HALVINGPOWER(S, G.BOUND)]);
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
  T.EXP = static_cast<uint16_t>(M.EXP);
  T.MANT = M.MANT;
  GATEKEYS[CLASS] = TGATEKEY{STAMP, T.NEVER ? UINT32_MAX : AMPKEY(X)};
}

void TGATETABLE::NEWPAIR() {
  const size_t N = GATECLASSES(SLOTS);
  if (GATES.size() == 0 && !TRYTWICE([&] { return GATES.OBTAIN(N) && GATEKEYS.OBTAIN(N); }))
    MEMORYERROR("the gate table", N * (sizeof(TGATE) + sizeof(TGATEKEY)));
  if (++STAMP == 0) {
    for (size_t C = 0; C < GATEKEYS.size(); ++C) GATEKEYS[C].STAMP = 0;
    STAMP = 1;
  }
}

void TGATETABLE::CLASSGATES(const uint32_t* CLASSES, size_t N, const TGATING& G) {
  for (size_t X = 0; X < N; ++X) {
    const uint32_t C = CLASSES[X];
    if (GATEKEYS[C].STAMP == STAMP) continue;
    const TCLASSPARTS P = CLASSPARTS(C, SLOTS);
    FILLGATE(C, P.MEC5, P.MEC6, P.H, G);
  }
}

// The same range checks in the same order as the test itself, then a
// comparison of integers.
[[gnu::noinline]] unsigned TGATETABLE::CHECKEDTEST(TEXTENDED AMP, const TROWFIELDS& P, const TGATING& G) {
  const int MEC6 = P.MEC[6], MEC5 = P.MEC[5];
  G.XB->CHECKINDEX(MEC6);
  G.XA->CHECKINDEX(MEC5);
  const int S = ORDEROF(P.ORDER);
  const size_t C = CLASSINDEX(MEC5, MEC6, HALVINGPOWER(S, G.BOUND), SLOTS);
  if (GATEKEYS[C].STAMP != STAMP) [[unlikely]]
    FILLGATE(C, MEC5, MEC6, S, G);
  return ATGATE(AMP, GATES[C]);
}
