// unfufuse: the pipeline in one pass over the parsed rows of each file
// (see unfufuse.hpp).
#include "unfufuse.hpp"

#include <algorithm>
#include <climits>
#include <vector>

#include "unallvar.hpp"
#include "unelmini.hpp"
#include "unfatal.hpp"
#include "unfucnt.hpp"
#include "unfugate.hpp"
#include "unfuline.hpp"
#include "unfuordr.hpp"
#include "unfuperi.hpp"
#include "unsercac.hpp"

namespace {

// A term to be written: its row in the series file and the PERIODINDEX of
// its planets and multipliers (see unfuperi). The planets of a mirror image are (I, J)
// with I > J, of any other term (NPA, NPB) with NPA < NPB, so the
// orientation bit of the index tells the mirror images.
struct TOUTROW {
  int32_t ROW;
  uint32_t PERIOD;
};
constexpr uint32_t MIRRORBIT = uint32_t{1} << 16;

// How many terms ahead the fields of a row (32 bytes, half a cache line)
// are asked for. A row line takes some 30 ns to put together and a row
// that is not in the cache 100 ns or more to arrive, so at least four
// lines ahead. The distance was measured when each row still kept an
// 80-byte text (user time of termshort and termall on the full sample,
// several runs each): any distance from 8 to 24 did as well as any other,
// and 10 to 20 % better than 0 or 4. What is fetched is now the 32-byte
// fields, as many rows in fewer bytes, and the reasoning above does not
// depend on the size; 12 stays in the middle of that range.
constexpr size_t ROWAHEAD = 12;

std::vector<TOUTROW> OUTLIST;  // the terms of a block, in order

// The rows of a block, OUT[0..NOUT-1]: as many lines at a time as surely
// fit in the output buffer, so the buffer is handed over at the same lines
// as when room is made line by line. SELECTS: the program selects terms by
// their period entries, which hold the end of each line. ESTIMATES: each
// line ends with the row's estimate for the pair, whose gating of rows of
// planets (NPA, NPB) and of mirror images G[0] and G[1] give.
template <bool SELECTS, bool ESTIMATES>
void WRITEROWS(TPROGRUN& R, const TSERIESFILE& S, const TPLANETS* PLANETS, const TGATING* G, const TOUTROW* OUT,
               size_t NOUT) {
  constexpr size_t ROOM = MAXROWTEXT + (ESTIMATES ? MAXESTIMATE : 0);
  TTEXTOUT& F = R.F;
  const TROWFIELDS* FIELDS = S.ROWS.FIELDS.data();
  const TPERIODENTRY* PERIODS = SELECTS ? R.PERIODS->ENTRIES() : nullptr;
  const bool SWAP = R.V.SELECT == TSELECT::SHORTPERIOD;
  size_t X = 0;
  while (X < NOUT) {
    char* const START = F.RESERVE(ROOM);
    const size_t END = X + std::min(NOUT - X, std::max<size_t>(1, F.ROOM() / ROOM));
    char* Q = START;
    for (; X < END; ++X) {
      if (X + ROWAHEAD < NOUT) __builtin_prefetch(&FIELDS[OUT[X + ROWAHEAD].ROW]);
      const TOUTROW O = OUT[X];
      const bool MIRROR = (O.PERIOD & MIRRORBIT) != 0;
      const TROWFIELDS& T = FIELDS[O.ROW];
      const uint8_t FLAGS = T.FLAGS;
      const bool SINE = (FLAGS & CODESINE) != 0;
      // A mirror image has -A; the short-period terms take A sin -> -A cos,
      // A cos -> A sin.
      const bool NEG = (((FLAGS & AMPNEG) != 0) != MIRROR) != (SWAP && SINE);
      Q = PUTROW(Q, PLANETS[MIRROR].C, NEG ? '-' : ' ', T, SINE != SWAP ? 'S' : 'C',
                 SELECTS ? &PERIODS[O.PERIOD].END : nullptr);
      if constexpr (ESTIMATES) {
        // The estimate goes before the line's CR LF.
        const bool FORMS = ESTIMATEFORMS(T.MEC[5], T.MEC[6], T.ORDER);
        const TEXTENDED A = FORMS ? AMPESTIMATE(S.ROWS.AMPS[static_cast<size_t>(O.ROW)], T.MEC[5], T.MEC[6],
                                                T.ORDER, G[MIRROR])
                                  : 0.0_EXT;
        Q = PUTESTIMATE(Q - 2, FORMS, EXTABS(A));
        Q[0] = '\r';
        Q[1] = '\n';
        Q += 2;
      }
    }
    F.COMMIT(static_cast<size_t>(Q - START));
  }
}

// The test records RECS[0..NRECS-1] of a block that go to the output, in
// order, as terms of planets (NPA, NPB) into OUT: those that pass the
// amplitude test (when GATED) and are of the kind the program writes
// (when KEEPS is not 0: its side bit is set in the period's side byte);
// returns their number. The gates of their classes and the sides of their
// MARS are known (see PREPARE). Gathered without a branch on the outcome;
// a row is mostly decided by its key and its gate's key alone. A row
// outside the gate classes takes the test's own range checks, in its place.
template <bool GATED, uint8_t KEEPS>
[[gnu::noinline]] size_t GATHER(TPROGRUN& R, const TSERIESFILE& S, const TGATING& G, const TTESTREC* RECS,
                                size_t NRECS, uint8_t NPA, uint8_t NPB, TOUTROW* OUT) {
  // Kept in locals: the stores into OUT could otherwise alias them.
  const TGATEKEY* const GATEKEY = GATED ? R.GATES->KEYS() : nullptr;
  const uint8_t* const SIDE = KEEPS != 0 ? R.PERIODS->SIDEBYTES() : nullptr;
  // The side bit shifted to bit 0, where PASS (0 or 1) takes it.
  constexpr unsigned SHIFT = KEEPS == SECULARSIDE ? 1 : 0;
  static_assert(KEEPS == 0 || (KEEPS >> SHIFT) == 1);
  const uint32_t BASE = static_cast<uint32_t>(PERIODINDEX(NPA, NPB, 0, 0));
  size_t NOUT = 0;
  for (size_t X = 0; X < NRECS; ++X) {
    const TTESTREC T = RECS[X];
    unsigned PASS = 1;
    if constexpr (GATED) {
      if (T.CLASS != NOCLASS) [[likely]] {
        const uint32_t GK = GATEKEY[T.CLASS].KEY;
        PASS = T.KEY > GK;
        if (T.KEY == GK) [[unlikely]]
          PASS = ATGATE(S.ROWS.AMPS[static_cast<size_t>(T.ROW)], R.GATES->GATEOF(T.CLASS));
      } else {
        R.HERE.TERM = T.ROW;
        const size_t ROW = static_cast<size_t>(T.ROW);
        PASS = R.GATES->CHECKEDTEST(S.ROWS.AMPS[ROW], S.ROWS.FIELDS[ROW], G);
        R.HERE.TERM = -1;
      }
    }
    const uint32_t PI = BASE | T.MARS;
    if constexpr (KEEPS != 0) PASS &= SIDE[PI] >> SHIFT;
    OUT[NOUT] = TOUTROW{T.ROW, PI};
    NOUT += PASS;
  }
  return NOUT;
}

// Makes known, for the pair in hand, the gates of the classes of the
// rows of file S that go on (when GATED) and which side of the period cut
// the terms of their MARS fall on with planets (NPA, NPB) (when the program
// selects). Nothing here can fail, so the order in which they are found is
// of no account.
void PREPARE(TPROGRUN& R, const TUSEDSET& U, const TGATING& G, bool GATED, uint8_t NPA, uint8_t NPB) {
  if (GATED) R.GATES->CLASSGATES(U.CLASSES.data(), U.CLASSES.size(), G);
  if (R.V.SELECT != TSELECT::ALLTERMS)
    for (uint16_t M : U.MARSUSED) R.PERIODS->SIDE(NPA, NPB, MAR1OF(M), MAR4OF(M));
}

size_t GATHERANY(bool GATED, TPROGRUN& R, const TSERIESFILE& S, const TUSEDSET& U, const TGATING& G,
                 const TTESTREC* RECS, size_t NRECS, uint8_t NPA, uint8_t NPB, TOUTROW* OUT) {
  PREPARE(R, U, G, GATED, NPA, NPB);
  switch (SIDEOF(R.V)) {
    case SHORTSIDE:
      return GATED ? GATHER<true, SHORTSIDE>(R, S, G, RECS, NRECS, NPA, NPB, OUT)
                   : GATHER<false, SHORTSIDE>(R, S, G, RECS, NRECS, NPA, NPB, OUT);
    case SECULARSIDE:
      return GATED ? GATHER<true, SECULARSIDE>(R, S, G, RECS, NRECS, NPA, NPB, OUT)
                   : GATHER<false, SECULARSIDE>(R, S, G, RECS, NRECS, NPA, NPB, OUT);
    default:
      return GATED ? GATHER<true, 0>(R, S, G, RECS, NRECS, NPA, NPB, OUT)
                   : GATHER<false, 0>(R, S, G, RECS, NRECS, NPA, NPB, OUT);
  }
}

}  // namespace

void FUSEDBLOCK(TPROGRUN& R, uint8_t I, uint8_t J, int N) {
  TSERIESFILE& S = LOADEDSERIES(N);
  // The rows that go on: those of order at most MAXSUM, or all.
  const TTESTREC* RECS = S.ROWS.TESTRECS.data();
  size_t NRECS = static_cast<size_t>(S.COUNT);
  if (R.V.ORDERFILTER) RECS = ORDERRECS(S, R.MAXSUM, R.HERE, NRECS);
  const TUSEDSET& USED = USEDBY(S, R.V.ORDERFILTER ? R.MAXSUM : INT_MAX, RECS, NRECS);
  BLOCKLINE(R, I, J, N, static_cast<int32_t>(NRECS));

  const uint8_t A = I < J ? I : J, B = I < J ? J : I;
  const TPLANETS PLANETS[2] = {PLANETSTEXT(A, B), PLANETSTEXT(I, J)};

  // The terms of the block: those of file 1 and their mirror images (or
  // none), or the rows of a later file that pass the amplitude test (if
  // the program has one); of these, the kind the program writes.
  if (OUTLIST.size() < 2 * NRECS) OUTLIST.resize(2 * NRECS);
  TOUTROW* OUT = OUTLIST.data();
  size_t NOUT = 0;
  // The gating of the rows, and (for the estimates) that of the mirror
  // images, of planets (I, J).
  const TGATING G{&AXIPO[A], &AXIPO[B], FAMUS[J], R.BOUND(), R.CUTS.THRESHOLD};
  const TGATING GATINGS[2] = {G, {&AXIPO[I], &AXIPO[J], FAMUS[J], R.BOUND(), R.CUTS.THRESHOLD}};
  if (N == 1) {
    if (I > J) {
      // Rows and their mirror images: twice the rows must fit a table.
      // Staged, the mirror images stop at row MAXARR + 1 of ROWTWO, that
      // of term RECS[MAXARR - NRECS]: the same place, the same report.
      if (2 * static_cast<long>(NRECS) > MAXARR) {
        R.HERE.TERM = RECS[static_cast<size_t>(MAXARR) - NRECS].ROW;
        ROWTWO->CHECKINDEX(MAXARR + 1);
      }
      NOUT = GATHERANY(false, R, S, USED, G, RECS, NRECS, A, B, OUT);
      NOUT += GATHERANY(false, R, S, USED, G, RECS, NRECS, I, J, OUT + NOUT);
    }
  } else {
    NOUT = GATHERANY(R.V.HASAMPTEST, R, S, USED, G, RECS, NRECS, A, B, OUT);
  }

  const int32_t COUNT = static_cast<int32_t>(NOUT);
  const bool SELECTS = R.V.SELECT != TSELECT::ALLTERMS;
  (SELECTS ? MECTRE : MECTWO) = COUNT;
  COUNTLINES(R, COUNT);
  if (R.CUTS.ESTIMATES)
    (SELECTS ? WRITEROWS<true, true> : WRITEROWS<false, true>)(R, S, PLANETS, GATINGS, OUT, NOUT);
  else
    (SELECTS ? WRITEROWS<true, false> : WRITEROWS<false, false>)(R, S, PLANETS, GATINGS, OUT, NOUT);
}
