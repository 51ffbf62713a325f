// unfufuse: the pipeline in one pass over the parsed rows of each file
// (see unfufuse.hpp).
#include "unfufuse.hpp"

#include <algorithm>
#include <climits>
#include <vector>

#include "unallvar.hpp"
#include "unelmini.hpp"
#include "unfatal.hpp"
#include "unfugate.hpp"
#include "unfuline.hpp"
#include "unfuordr.hpp"
#include "unfuperi.hpp"
#include "unfupipe.hpp"
#include "unsercac.hpp"

namespace {

// A term to be written: its row in the series file and the PERIODINDEX of
// its planets and multipliers. The planets of a mirror image are (I, J)
// with I > J, of any other term (NPA, NPB) with NPA < NPB, so the
// orientation bit of the index tells the mirror images.
struct TOUTROW {
  int32_t ROW;
  uint32_t PERIOD;
};
constexpr uint32_t MIRRORBIT = uint32_t{1} << 16;

// How many terms ahead the fields of a row (one cache line) are asked
// for. A row line takes some 30 ns to put together and a row that is not
// in the cache 100 ns or more to arrive, so at least four lines ahead.
// Measured on the full sample when each row kept its 80-byte text (user
// time of termshort and termall, several runs each), any distance from 8
// to 24 did as well as any other and 10 to 20 % better than 0 or 4; 12
// lies well inside that range.
constexpr size_t ROWAHEAD = 12;

std::vector<TOUTROW> OUTLIST;  // the terms of a block, in order

// The rows of a block, OUT[0..NOUT-1]: as many lines at a time as surely
// fit in the output buffer, so the buffer is handed over at the same lines
// as when room is made line by line. SELECTS: the program selects terms by
// their period entries, which hold the end of each line.
template <bool SELECTS>
void WRITEROWS(const TVARIANT& V, const TSERIESFILE& S, const TPLANETS* PLANETS, const TOUTROW* OUT, size_t NOUT) {
  const TROWFIELDS* FIELDS = S.ROWS.FIELDS.data();
  const bool SWAP = V.SELECT == TSELECT::SHORTPERIOD;
  size_t X = 0;
  while (X < NOUT) {
    char* const O = F.RESERVE(MAXROWTEXT);
    const size_t END = X + std::min(NOUT - X, std::max<size_t>(1, F.ROOM() / MAXROWTEXT));
    char* Q = O;
    for (; X < END; ++X) {
      if (X + ROWAHEAD < NOUT) __builtin_prefetch(&FIELDS[OUT[X + ROWAHEAD].ROW]);
      const TOUTROW R = OUT[X];
      const bool MIRROR = (R.PERIOD & MIRRORBIT) != 0;
      const TROWFIELDS& T = FIELDS[R.ROW];
      const uint8_t FLAGS = T.FLAGS;
      const bool SINE = (FLAGS & CODESINE) != 0;
      // A mirror image has -A; the short-period terms take A sin -> -A cos,
      // A cos -> A sin.
      const bool NEG = (((FLAGS & AMPNEG) != 0) != MIRROR) != (SWAP && SINE);
      Q = PUTROW(Q, PLANETS[MIRROR].C, NEG ? '-' : ' ', T, SINE != SWAP ? 'S' : 'C',
                 SELECTS ? &PERIODS[R.PERIOD].END : nullptr);
    }
    F.COMMIT(static_cast<size_t>(Q - O));
  }
}

// The test records RECS[0..NRECS-1] of a block that go to the output, in
// order, as terms of planets (NPA, NPB) into OUT: those that pass the
// amplitude test (when GATED) and are of the kind the program writes
// (when SELECTS); returns their number. The gates of their classes and
// the selection of their MARS are known (see PREPARE). Gathered without a
// branch on the outcome; a row is mostly decided by its key and its
// gate's key alone. A row outside the gate classes takes the test's own
// range checks, in its place.
template <bool GATED, bool SELECTS>
[[gnu::noinline]] size_t GATHER(const TSERIESFILE& S, const TGATING& G, const TTESTREC* RECS, size_t NRECS,
                                uint8_t NPA, uint8_t NPB, TOUTROW* OUT) {
  // Kept in locals: the stores into OUT could otherwise alias them.
  const TGATEKEY* const GATEKEY = GATEKEYS.data();
  const uint8_t* const KEEP = KEEPS.data();
  const uint32_t BASE = static_cast<uint32_t>(PERIODINDEX(NPA, NPB, 0, 0));
  size_t NOUT = 0;
  for (size_t X = 0; X < NRECS; ++X) {
    const TTESTREC R = RECS[X];
    unsigned PASS = 1;
    if constexpr (GATED) {
      if (R.CLASS != NOCLASS) [[likely]] {
        const uint32_t GK = GATEKEY[R.CLASS].KEY;
        PASS = R.KEY > GK;
        if (R.KEY == GK) [[unlikely]]
          PASS = ATGATE(S.ROWS.AMPS[static_cast<size_t>(R.ROW)], GATES[R.CLASS]);
      } else {
        PASS = CHECKEDTEST(S, R.ROW, G);
      }
    }
    const uint32_t PI = BASE | R.MARS;
    if constexpr (SELECTS) PASS &= KEEP[PI] - 1u;
    OUT[NOUT] = TOUTROW{R.ROW, PI};
    NOUT += PASS;
  }
  return NOUT;
}

// Makes known, for the pair in hand, the gates of the classes of file S's
// rows (when GATED) and whether the terms of their MARS are kept with
// planets (NPA, NPB) (when SELECTS). Nothing here can fail, so the order
// in which they are found is of no account.
void PREPARE(const TVARIANT& V, const TSERIESFILE& S, const TGATING& G, bool GATED, uint8_t NPA, uint8_t NPB) {
  if (GATED) CLASSGATES(S.CLASSES.data(), S.CLASSES.size(), G);
  if (V.SELECT != TSELECT::ALLTERMS)
    for (uint16_t M : S.MARSUSED)
      if (KEEPS[PERIODINDEX(NPA, NPB, MAR1OF(M), MAR4OF(M))] == 0) FILLKEEP(V, NPA, NPB, MAR1OF(M), MAR4OF(M));
}

size_t GATHERANY(bool GATED, const TVARIANT& V, const TSERIESFILE& S, const TGATING& G, const TTESTREC* RECS,
                 size_t NRECS, uint8_t NPA, uint8_t NPB, TOUTROW* OUT) {
  PREPARE(V, S, G, GATED, NPA, NPB);
  const bool SELECTS = V.SELECT != TSELECT::ALLTERMS;
  if (GATED)
    return SELECTS ? GATHER<true, true>(S, G, RECS, NRECS, NPA, NPB, OUT)
                   : GATHER<true, false>(S, G, RECS, NRECS, NPA, NPB, OUT);
  return SELECTS ? GATHER<false, true>(S, G, RECS, NRECS, NPA, NPB, OUT)
                 : GATHER<false, false>(S, G, RECS, NRECS, NPA, NPB, OUT);
}

// Notes in S the gate classes and the MARS of RECS[0..NRECS-1], each once.
void NOTEUSED(TSERIESFILE& S, const TTESTREC* RECS, size_t NRECS, int BOUND) {
  static std::vector<bool> SEENCLASS(GATECLASSES), SEENMARS(size_t{1} << 16);
  S.CLASSES.clear();
  S.MARSUSED.clear();
  for (size_t X = 0; X < NRECS; ++X) {
    const TTESTREC& R = RECS[X];
    if (R.CLASS != NOCLASS && !SEENCLASS[R.CLASS]) {
      SEENCLASS[R.CLASS] = true;
      S.CLASSES.push_back(R.CLASS);
    }
    if (!SEENMARS[R.MARS]) {
      SEENMARS[R.MARS] = true;
      S.MARSUSED.push_back(R.MARS);
    }
  }
  for (uint16_t C : S.CLASSES) SEENCLASS[C] = false;
  for (uint16_t M : S.MARSUSED) SEENMARS[M] = false;
  S.USEDBOUND = BOUND;
}

}  // namespace

void FUSEDBLOCK(const TVARIANT& V, uint8_t I, uint8_t J, int N) {
  TSERIESFILE& S = LOADEDSERIES(N);
  static_assert(MAXSHORTORDER <= MAXHALF && MAXALLORDER <= MAXHALF);
  // The rows that go on: those of order at most MAXSUM, or all.
  const TTESTREC* RECS = S.ROWS.TESTRECS.data();
  size_t NRECS = static_cast<size_t>(S.COUNT);
  if (V.ORDERFILTER) RECS = ORDERRECS(S, NRECS);
  const int BOUND = V.ORDERFILTER ? MAXSUM : INT_MAX;
  if (S.USEDBOUND != BOUND) NOTEUSED(S, RECS, NRECS, BOUND);
  MECONE = static_cast<int32_t>(NRECS);
  BLOCKLINE(I, J, N);

  const uint8_t A = I < J ? I : J, B = I < J ? J : I;
  const TPLANETS PLANETS[2] = {PLANETSTEXT(A, B), PLANETSTEXT(I, J)};

  // The terms of the block: those of file 1 and their mirror images (or
  // none), or the rows of a later file that pass the amplitude test (if
  // the program has one); of these, the kind the program writes.
  if (OUTLIST.size() < 2 * NRECS) OUTLIST.resize(2 * NRECS);
  TOUTROW* OUT = OUTLIST.data();
  size_t NOUT = 0;
  const TGATING G{&AXIPO[A], &AXIPO[B], FAMUS[J], V.AMPTEST == TAMPTEST::TOMAXSUM ? MAXSUM : MAXALLORDER};
  if (N == 1) {
    if (I > J) {
      // Rows and their mirror images: twice the rows must fit a table.
      // Staged, the mirror images stop at row MAXARR + 1 of ROWTWO, that
      // of term RECS[MAXARR - NRECS]: the same place, the same report.
      if (2 * static_cast<long>(NRECS) > MAXARR) {
        HERE.TERM = RECS[static_cast<size_t>(MAXARR) - NRECS].ROW;
        ROWTWO->CHECKINDEX(MAXARR + 1);
      }
      NOUT = GATHERANY(false, V, S, G, RECS, NRECS, A, B, OUT);
      NOUT += GATHERANY(false, V, S, G, RECS, NRECS, I, J, OUT + NOUT);
    }
  } else {
    NOUT = GATHERANY(V.AMPTEST != TAMPTEST::COPYALL, V, S, G, RECS, NRECS, A, B, OUT);
  }

  const int32_t COUNT = static_cast<int32_t>(NOUT);
  if (V.SELECT == TSELECT::ALLTERMS) {
    MECTWO = COUNT;
    COUNTLINES(MECTWO);
    WRITEROWS<false>(V, S, PLANETS, OUT, NOUT);
  } else {
    MECTRE = COUNT;
    COUNTLINES(MECTRE);
    WRITEROWS<true>(V, S, PLANETS, OUT, NOUT);
  }
}
