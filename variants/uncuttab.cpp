// uncuttab: how many terms each cut keeps (see uncuttab.hpp).
#include "uncuttab.hpp"

#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>

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

// |X| as one number that orders the non-negative extended values: the
// biased exponent above the significand.
unsigned __int128 ORDERKEY(TEXTENDED X) {
  const TMAGNITUDE M = MAGNITUDEOF(X);
  return (static_cast<unsigned __int128>(M.EXP) << 64) | M.MANT;
}

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

// The thresholds in ascending order, as keys, and the place of each in
// the list given.
struct TSORTED {
  std::vector<unsigned __int128> KEYS;
  std::vector<size_t> PLACE;
};

// Pair number X (0..55) of program P: its cells, from the parsed files.
void COUNTPAIR(TCUTTABLE& T, const TSORTED& SORTED, int P, int X, uint8_t I, uint8_t J, TPERIODTABLE& PERIODS) {
  const TVARIANT& V = PROGRAMTABLE[P];
  const TCUTS& C = T.CUTS[static_cast<size_t>(P)];
  const uint8_t A = I < J ? I : J, B = I < J ? J : I;
  const uint8_t KEEPS = SIDEOF(V);
  const size_t NT = SORTED.KEYS.size();
  // Rows past no threshold (untested ones), then by how many thresholds
  // lie below their |A|, and the sums of |A| likewise.
  int64_t ALWAYS = 0;
  std::vector<int64_t> COUNT(NT + 1, 0);
  std::vector<TEXTENDED> SUM(NT + 1, 0.0_EXT);
  const TGATING G{&AXIPO[A], &AXIPO[B], FAMUS[J], C.ORDERBOUND, 0.0_EXT};
  for (int N = 1; N <= NUMSERIES; ++N) {
    if (N == 1 && I < J) continue;
    const TSERIESFILE& S = SERIESFILE(N);  // parsed by CHECKROWS
    for (int32_t M = 0; M < S.COUNT; ++M) {
      const TROWFIELDS& F = S.ROWS.FIELDS[static_cast<size_t>(M)];
      if (V.ORDERFILTER && F.ORDER > C.ORDERBOUND) continue;
      if (N == 1) {
        // The row and its mirror image, each selected by its own period.
        for (const bool MIRROR : {false, true}) {
          const uint8_t NPA = MIRROR ? I : A, NPB = MIRROR ? J : B;
          ALWAYS += KEEPS == 0 || (PERIODS.SIDE(NPA, NPB, F.MAR[1], F.MAR[4]) & KEEPS) != 0;
        }
        continue;
      }
      if (KEEPS != 0 && (PERIODS.SIDE(A, B, F.MAR[1], F.MAR[4]) & KEEPS) == 0) continue;
      if (!V.HASAMPTEST) {
        ++ALWAYS;
        continue;
      }
      const TEXTENDED E =
          EXTABS(AMPESTIMATE(S.ROWS.AMPS[static_cast<size_t>(M)], F.MEC[5], F.MEC[6], F.ORDER, G));
      const size_t K = static_cast<size_t>(std::lower_bound(SORTED.KEYS.begin(), SORTED.KEYS.end(), ORDERKEY(E)) -
                                           SORTED.KEYS.begin());
      ++COUNT[K];
      SUM[K] += E;
    }
  }
  // Kept at the I-th smallest threshold: the rows with more thresholds
  // below them than I; dropped: the others.
  if (!V.HASAMPTEST) {
    T.CELL(P, X, 0).KEPT = ALWAYS;
    return;
  }
  int64_t ABOVE = ALWAYS;
  for (size_t K = 0; K <= NT; ++K) ABOVE += COUNT[K];
  TEXTENDED BELOW = 0.0_EXT;
  for (size_t R = 0; R < NT; ++R) {
    ABOVE -= COUNT[R];
    BELOW += SUM[R];
    TCUTCELL& CELL = T.CELL(P, X, SORTED.PLACE[R]);
    CELL.KEPT = ABOVE;
    CELL.DROPPED = BELOW;
  }
}

}  // namespace

void COUNTCUTS(TCUTTABLE& T) {
  TCUTSCOPE SCOPE;
  TFATALSCOPE* const BEFORE = SETFATALSCOPE(&SCOPE);
  PARSEAHEAD();
  CHECKROWS(T, SCOPE);
  SETFATALSCOPE(BEFORE);

  TSORTED SORTED;
  std::vector<size_t> ORDER(T.THRESHOLDS.size());
  for (size_t K = 0; K < ORDER.size(); ++K) ORDER[K] = K;
  std::stable_sort(ORDER.begin(), ORDER.end(), [&](size_t X, size_t Y) {
    return ORDERKEY(T.THRESHOLDS[X]) < ORDERKEY(T.THRESHOLDS[Y]);
  });
  for (size_t K : ORDER) {
    SORTED.KEYS.push_back(ORDERKEY(T.THRESHOLDS[K]));
    SORTED.PLACE.push_back(K);
  }
  T.CELLS.assign(static_cast<size_t>(NUMPROGRAMS) * 56 * T.THRESHOLDS.size(), TCUTCELL{});

  // The pairs, shared by two threads (or done by this one alone); the
  // checks above have found every range error already.
  std::atomic<int> NEXT{0};
  auto WORK = [&] {
    std::vector<TPERIODTABLE> TABLES;
    TABLES.reserve(NUMPROGRAMS);
    for (int P = 0; P < NUMPROGRAMS; ++P) TABLES.emplace_back(T.CUTS[static_cast<size_t>(P)].THRESHOLDFREQUENCY(), 0, 0);
    for (int X; (X = NEXT++) < 56;) {
      const uint8_t I = static_cast<uint8_t>(X / 7 + 1);
      const uint8_t J = static_cast<uint8_t>(X % 7 + 1 < I ? X % 7 + 1 : X % 7 + 2);
      for (int P = 0; P < NUMPROGRAMS; ++P) {
        TABLES[static_cast<size_t>(P)].NEWPAIR();
        COUNTPAIR(T, SORTED, P, X, I, J, TABLES[static_cast<size_t>(P)]);
      }
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
