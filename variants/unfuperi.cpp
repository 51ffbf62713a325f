// unfuperi: the frequency, the period and the table of periods (see
// unfuperi.hpp).
#include "unfuperi.hpp"

#include <cmath>
#include <cstring>

#include "unahead.hpp"
#include "unelmini.hpp"
#include "unfatal.hpp"

TEXTENDED FREQUENCYOF(uint8_t NPA, uint8_t NPB, int8_t MAR1, int8_t MAR4) {
  return static_cast<TEXTENDED>(MAR1) * VALAN[NPA] + static_cast<TEXTENDED>(MAR4) * VALAN[NPB];
}

TEXTENDED PERIOD(TEXTENDED Q) {
  if (EXTABS(Q) < MINFREQ) return 0.0_EXT;
  return TWOPIEXT / (Q * YEARDAYS);
}

void TPERIODTABLE::NEWPAIR() {
  if (PERIODS.size() == 0 &&
      !TRYTWICE([this] { return PERIODS.OBTAIN(PERIODENTRIES) && SIDES.OBTAIN(PERIODENTRIES); }))
    MEMORYERROR("the period table", PERIODENTRIES * (sizeof(TPERIODENTRY) + 1));
  std::memset(SIDES.data(), 0, PERIODENTRIES);
}

// Computes the entry of (NPA, NPB, MAR[1], MAR[4]) for the pair in hand.
[[gnu::noinline]] void TPERIODTABLE::FILL(uint8_t NPA, uint8_t NPB, int8_t MAR1, int8_t MAR4) {
  const size_t X = PERIODINDEX(NPA, NPB, MAR1, MAR4);
  TPERIODENTRY& E = PERIODS[X];
  const TEXTENDED Q = FREQUENCYOF(NPA, NPB, MAR1, MAR4);
  const uint8_t S = EXTABS(Q) > T ? SHORTSIDE : EXTABS(Q) < T ? SECULARSIDE : 0;
  const int W = S == 0 ? 0 : WIDTH[S == SHORTSIDE ? 0 : 1];
  E.KEPT = S != 0;
  if (W > 0)
    PERIODLINEEND(E.END, PERIOD(Q), W);
  else
    PLAINLINEEND(E.END);
  SIDES[X] = static_cast<uint8_t>(KNOWN | S);
}
