// uncuttab: how many terms each cut keeps (see uncuttab.hpp).
#include "uncuttab.hpp"

#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>

#include "uncutsum.hpp"
#include "unelmini.hpp"
#include "unfugate.hpp"
#include "unfuordr.hpp"
#include "unfuperi.hpp"
#include "unfurun.hpp"
#include "unsercac.hpp"

namespace {

// The place of the work, for a report.
class TCUTSCOPE final : public TFATALSCOPE {
 public:
  TPIPEPLACE HERE;
  std::string WHERE() override { return PLACETEXT(HERE); }
  bool FAILEDBEFORE(std::string&, std::string&, std::string&) noexcept override { return false; }
  void FLUSHBEFOREEXIT() noexcept override {}
};

// The checks of the programs, in their order, on the rows of every file as
// the first pair (1, 2) meets them, then the room for the mirror images of
// file 1 at the first pair that makes them (2, 1): the first that fails
// raises the report of the program that meets it first.
void CHECKROWS(const TCUTTABLE& T, TCUTSCOPE& SCOPE) {
  SCOPE.HERE = TPIPEPLACE{1, 2, 0, -1};
  for (int N = 1; N <= NUMSERIES; ++N) {
    SCOPE.HERE.N = N;
    SCOPE.HERE.TERM = -1;
    const TSERIESFILE& S = LOADEDSERIES(N);
    for (int32_t M = 0; M < S.COUNT; ++M) {
      SCOPE.HERE.TERM = M;
      const TROWFIELDS& F = S.ROWS.FIELDS[static_cast<size_t>(M)];
      for (int P = 0; P < NUMPROGRAMS; ++P) {
        const TVARIANT& V = PROGRAMTABLE[P];
        bool GOESON = true;
        if (V.ORDERFILTER) GOESON = ORDEROF(F.ORDER) <= T.CUTS[static_cast<size_t>(P)].ORDERBOUND;
        if (N > 1 && V.HASAMPTEST && GOESON) {
          AXIPO[2].CHECKINDEX(F.MEC[6]);
          AXIPO[1].CHECKINDEX(F.MEC[5]);
          (void)ORDEROF(F.ORDER);
        }
      }
    }
  }
  SCOPE.HERE = TPIPEPLACE{2, 1, 1, -1};
  const TSERIESFILE& S = LOADEDSERIES(1);
  for (int P = 0; P < NUMPROGRAMS; ++P) {
    std::vector<int32_t> KEPT;
    for (int32_t M = 0; M < S.COUNT; ++M)
      if (!PROGRAMTABLE[P].ORDERFILTER ||
          S.ROWS.FIELDS[static_cast<size_t>(M)].ORDER <= T.CUTS[static_cast<size_t>(P)].ORDERBOUND)
        KEPT.push_back(M);
    if (2 * static_cast<long>(KEPT.size()) > MAXARR) {
      SCOPE.HERE.TERM = KEPT[static_cast<size_t>(MAXARR) - KEPT.size()];
      TROWDIM::CHECKINDEX(MAXARR + 1);
    }
  }
  SCOPE.HERE = TPIPEPLACE{};
}

// Pair number X (0..55), planets (I, J), for every program at once: their
// cells, from the parsed files.
void COUNTPAIR(TCUTTABLE& T, const TSORTED& SORTED, int X, uint8_t I, uint8_t J, TPERIODTABLE& PERIODS) {
  const uint8_t A = I < J ? I : J, B = I < J ? J : I;
  const size_t NT = SORTED.KEYS.size();
  thread_local std::vector<TTALLY> TALLY(NUMPROGRAMS);  // ACC stays cleared
  for (TTALLY& Y : TALLY) {
    Y.ALWAYS = 0;
    Y.COUNT.assign(NT + 1, 0);
    Y.SUM.assign(NT + 1, TWIDESUM{});
  }
  // Unchecked: CHECKROWS found every exponent within the tables.
  const TEXTENDED* const XA = AXIPO[A].DATA() + MAXAXIEXP;
  const TEXTENDED* const XB = AXIPO[B].DATA() + MAXAXIEXP;
  const TEXTENDED FJ = FAMUS[J];
  constexpr size_t CHUNK = 1024;  // some 34 KB of what follows
  uint8_t SIDE[CHUNK];
  TEXTENDED P0[CHUNK];
  TMAGNITUDE MAG[CHUNK];
  for (int N = 1; N <= NUMSERIES; ++N) {
    if (N == 1 && I < J) continue;
    const TSERIESFILE& S = SERIESFILE(N);  // parsed by CHECKROWS
    const TROWFIELDS* const F = S.ROWS.FIELDS.data();
    if (N == 1) {
      for (int32_t M = 0; M < S.COUNT; ++M) {
        // The row and its mirror image, each selected by its own period.
        const uint8_t SIDES[2] = {PERIODS.SIDE(A, B, F[M].MAR[1], F[M].MAR[4]),
                                  PERIODS.SIDE(I, J, F[M].MAR[1], F[M].MAR[4])};
        for (int P = 0; P < NUMPROGRAMS; ++P) {
          const TVARIANT& V = PROGRAMTABLE[P];
          if (V.ORDERFILTER && F[M].ORDER > T.CUTS[static_cast<size_t>(P)].ORDERBOUND) continue;
          const uint8_t KEEPS = SIDEOF(V);
          for (const uint8_t D : SIDES) TALLY[static_cast<size_t>(P)].ALWAYS += KEEPS == 0 || (D & KEEPS) != 0;
        }
      }
      continue;
    }
    // A chunk of rows at a time, so that what the programs share of each
    // row stays close at hand: the side of the period cut, and the
    // estimate before its halving, formed as the test forms it.
    for (int32_t FIRST = 0; FIRST < S.COUNT; FIRST += static_cast<int32_t>(CHUNK)) {
      const size_t ROWS = std::min(CHUNK, static_cast<size_t>(S.COUNT - FIRST));
      const TROWFIELDS* const FC = F + FIRST;
      const TEXTENDED* const AMPS = S.ROWS.AMPS.data() + FIRST;
      for (size_t R = 0; R < ROWS; ++R) {
        SIDE[R] = PERIODS.SIDE(A, B, FC[R].MAR[1], FC[R].MAR[4]);
        P0[R] = (XB[FC[R].MEC[6]] * XA[FC[R].MEC[5]]) * (AMPS[R] * FJ);
      }
      // The bits of each, read in a pass of their own: long after they
      // were stored, so that no load waits for a store of ten bytes.
      for (size_t R = 0; R < ROWS; ++R) MAG[R] = MAGNITUDEOF(P0[R]);
      for (int P = 0; P < NUMPROGRAMS; ++P) {
        const TVARIANT& V = PROGRAMTABLE[P];
        TALLYFILE(TALLY[static_cast<size_t>(P)], SORTED, FC, SIDE, P0, MAG, static_cast<int32_t>(ROWS), V.ORDERFILTER,
                  T.CUTS[static_cast<size_t>(P)].ORDERBOUND, SIDEOF(V), V.HASAMPTEST);
      }
    }
  }
  // Kept at the R-th smallest threshold: the rows with more thresholds
  // below them than R; dropped: the others.
  for (int P = 0; P < NUMPROGRAMS; ++P) {
    TTALLY& Y = TALLY[static_cast<size_t>(P)];
    Y.SETTLE(SORTED);
    if (!PROGRAMTABLE[P].HASAMPTEST) {
      T.CELL(P, X, 0).KEPT = Y.ALWAYS;
      continue;
    }
    int64_t ABOVE = Y.ALWAYS;
    for (size_t K = 0; K <= NT; ++K) ABOVE += Y.COUNT[K];
    TWIDESUM DROPPED;
    for (size_t R = 0; R < NT; ++R) {
      ABOVE -= Y.COUNT[R];
      DROPPED.ADD(Y.SUM[R]);
      TCUTCELL& CELL = T.CELL(P, X, SORTED.PLACE[R]);
      CELL.KEPT = ABOVE;
      CELL.DROPPED = DROPPED.VALUE();
    }
  }
}

}  // namespace

void COUNTCUTS(TCUTTABLE& T) {
  TCUTSCOPE SCOPE;
  TFATALSCOPE* const BEFORE = SETFATALSCOPE(&SCOPE);
  PARSEAHEAD();
  CHECKROWS(T, SCOPE);
  SETFATALSCOPE(BEFORE);

  const TSORTED SORTED(T.THRESHOLDS);
  T.CELLS.assign(static_cast<size_t>(NUMPROGRAMS) * 56 * T.THRESHOLDS.size(), TCUTCELL{});

  // One period cut serves all: the programs that select have the same.
  TCUTS CUT;
  for (int P = 0; P < NUMPROGRAMS; ++P)
    if (HASCUT(PROGRAMTABLE[P], TCUTOPTION::PERIODCUT)) CUT = T.CUTS[static_cast<size_t>(P)];

  // The pairs, shared by two threads (or done by this one alone); the
  // checks above have found every range error already.
  std::atomic<int> NEXT{0};
  auto WORK = [&] {
    TPERIODTABLE PERIODS(CUT.THRESHOLDFREQUENCY(), 0, 0);
    for (int X; (X = NEXT++) < 56;) {
      const uint8_t I = static_cast<uint8_t>(X / 7 + 1);
      const uint8_t J = static_cast<uint8_t>(X % 7 + 1 < I ? X % 7 + 1 : X % 7 + 2);
      PERIODS.NEWPAIR();
      COUNTPAIR(T, SORTED, X, I, J, PERIODS);
    }
  };
  std::thread HELPER;
  try {
    HELPER = std::thread(WORK);
  } catch (const std::system_error&) {
  }
  WORK();
  if (HELPER.joinable()) HELPER.join();
}
