// unfuperi: the frequency, the period and the table of periods (see
// unfuperi.hpp).
#include "unfuperi.hpp"

#include <cmath>
#include <cstring>

#include "unelmini.hpp"
#include "unfatal.hpp"

TBIGARRAY<TPERIODENTRY> PERIODS;
uint32_t PERIODSTAMP = 0;
TBIGARRAY<uint8_t> KEEPS;

namespace {

// Computes the entry of (NPA, NPB, MAR[1], MAR[4]) for the pair in hand.
[[gnu::noinline]] void FILLPERIOD(TPERIODENTRY& E, const TVARIANT& V, uint8_t NPA, uint8_t NPB, int8_t MAR1,
                                  int8_t MAR4) {
  const TEXTENDED Q = FREQUENCYOF(NPA, NPB, MAR1, MAR4);
  E.KEEP = V.SELECT == TSELECT::SHORTPERIOD ? EXTABS(Q) > THRESHOLD : EXTABS(Q) < THRESHOLD;
  if (E.KEEP && V.PERIODWIDTH > 0)
    PERIODLINEEND(E.END, PERIOD(Q), V.PERIODWIDTH);
  else
    PLAINLINEEND(E.END);
  E.STAMP = PERIODSTAMP;
}

}  // namespace

TEXTENDED FREQUENCYOF(uint8_t NPA, uint8_t NPB, int8_t MAR1, int8_t MAR4) {
  return static_cast<TEXTENDED>(MAR1) * VALAN[NPA] + static_cast<TEXTENDED>(MAR4) * VALAN[NPB];
}

TEXTENDED PERIOD(TEXTENDED Q) {
  if (EXTABS(Q) < MINFREQ) return 0.0_EXT;
  return TWOPIEXT / (Q * YEARDAYS);
}

void NEWPAIRPERIODS() {
  constexpr size_t ENTRIES = size_t{2} << 16;
  if (PERIODS.size() == 0 && (!PERIODS.OBTAIN(ENTRIES) || !KEEPS.OBTAIN(ENTRIES)))
    MEMORYERROR("the period table", ENTRIES * (sizeof(TPERIODENTRY) + 1));
  if (++PERIODSTAMP == 0) {
    for (size_t E = 0; E < PERIODS.size(); ++E) PERIODS[E].STAMP = 0;
    PERIODSTAMP = 1;
  }
  std::memset(KEEPS.data(), 0, ENTRIES);
}

const TPERIODENTRY& PERIODOF(const TVARIANT& V, uint8_t NPA, uint8_t NPB, int8_t MAR1, int8_t MAR4) {
  TPERIODENTRY& E = PERIODS[PERIODINDEX(NPA, NPB, MAR1, MAR4)];
  if (E.STAMP != PERIODSTAMP) [[unlikely]]
    FILLPERIOD(E, V, NPA, NPB, MAR1, MAR4);
  return E;
}

const TPERIODENTRY& PERIODOF(const TVARIANT& V, const TROWVAR& R) {
  return PERIODOF(V, R.NPA, R.NPB, R.MAR[1], R.MAR[4]);
}

void FILLKEEP(const TVARIANT& V, uint8_t NPA, uint8_t NPB, int8_t MAR1, int8_t MAR4) {
  KEEPS[PERIODINDEX(NPA, NPB, MAR1, MAR4)] = static_cast<uint8_t>(1 + PERIODOF(V, NPA, NPB, MAR1, MAR4).KEEP);
}
