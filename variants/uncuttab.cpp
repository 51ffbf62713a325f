// uncuttab: how many terms each cut keeps (see uncuttab.hpp).
#include "uncuttab.hpp"

#include <algorithm>
#include <atomic>
#include <cstring>
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

// The thresholds in ascending order, and where each stands in the list
// given; and, for each binary exponent, how many of them lie below every
// value of that exponent and how many below every value of the next: where
// the two agree (a binade that holds no threshold, nearly always) that is
// the number of thresholds below any value of it, found without a search.
struct TSORTED {
  std::vector<unsigned __int128> KEYS;
  std::vector<size_t> PLACE;
  std::vector<uint16_t> BELOW;  // [biased exponent + 1]

  explicit TSORTED(const std::vector<TEXTENDED>& T) : BELOW(0x8001) {
    std::vector<size_t> ORDER(T.size());
    for (size_t K = 0; K < ORDER.size(); ++K) ORDER[K] = K;
    std::stable_sort(ORDER.begin(), ORDER.end(),
                     [&](size_t X, size_t Y) { return ORDERKEY(T[X]) < ORDERKEY(T[Y]); });
    for (size_t K : ORDER) {
      KEYS.push_back(ORDERKEY(T[K]));
      PLACE.push_back(K);
    }
    // Every value of biased exponent X lies at or above X << 64 and below
    // (X + 1) << 64.
    for (size_t X = 0; X < BELOW.size(); ++X)
      BELOW[X] = static_cast<uint16_t>(std::lower_bound(KEYS.begin(), KEYS.end(), static_cast<unsigned __int128>(X) << 64) -
                                       KEYS.begin());
  }
  // How many thresholds lie below E (non-negative).
  size_t COUNTBELOW(TEXTENDED E) const {
    const TMAGNITUDE M = MAGNITUDEOF(E);
    size_t K = BELOW[M.EXP];
    if (K != BELOW[M.EXP + 1]) [[unlikely]] {
      const unsigned __int128 X = (static_cast<unsigned __int128>(M.EXP) << 64) | M.MANT;
      while (K < KEYS.size() && KEYS[K] < X) ++K;
    }
    return K;
  }
};

// A sum of non-negative extended values in twice the precision: HI + LO,
// each addition's rounding error kept in LO (Knuth's two-sum, exact in
// extended arithmetic). Its rounding, HI + LO, hardly depends on the order
// in which the values came: the sums of the bins below a threshold are
// added so, and give what adding the values alone would give, to the last
// bit or nearly.
struct TWIDESUM {
  TEXTENDED HI = 0.0_EXT, LO = 0.0_EXT;
  void ADD(TEXTENDED X) {
    const TEXTENDED S = HI + X;
    const TEXTENDED B = S - HI;
    LO += (HI - (S - B)) + (X - B);
    HI = S;
  }
  void ADD(const TWIDESUM& W) {
    ADD(W.HI);
    ADD(W.LO);
  }
  TEXTENDED VALUE() const { return HI + LO; }
};

// 2^K for K of the subnormal and normal range, exactly.
TEXTENDED POWEROFTWO(int K) {
  const int FIELD = K + 16383;  // the biased exponent
  const uint64_t MANT = FIELD >= 1 ? uint64_t{1} << 63 : uint64_t{1} << (62 + FIELD);
  const uint16_t EXP = static_cast<uint16_t>(FIELD >= 1 ? FIELD : 0);
  TEXTENDED X = 0.0_EXT;
  std::memcpy(&X, &MANT, 8);
  std::memcpy(reinterpret_cast<char*>(&X) + 8, &EXP, 2);
  return X;
}

// What each program counts for a pair: rows that pass no threshold (the
// untested ones), and the others by how many thresholds lie below their
// |A|, with the sums of |A| likewise. The |A| of a binade that holds no
// threshold are summed exactly, as integers: ACC[X] is the sum of the
// significands of exponent field X (below 2^64 rows, so it cannot
// overflow); the others, in SUM.
struct TTALLY {
  int64_t ALWAYS = 0;
  std::vector<int64_t> COUNT;
  std::vector<TWIDESUM> SUM;
  std::vector<unsigned __int128> ACC = std::vector<unsigned __int128>(0x8000);
  unsigned LOW = 0x8000, HIGH = 0;  // the fields of ACC in use

  // The exact sums of ACC added to the sums of their bins, and ACC cleared.
  void SETTLE(const TSORTED& SORTED) {
    for (unsigned X = LOW; X <= HIGH && X < 0x8000; ++X) {
      if (ACC[X] == 0) continue;
      // A significand of field X stands for it times 2^(X - 16383 - 63):
      // the sum in two exact halves of 64 bits.
      const TEXTENDED UNIT = POWEROFTWO(static_cast<int>(X) - 16383 - 63);
      const TEXTENDED HALF = POWEROFTWO(static_cast<int>(X) - 16383 + 1);
      TWIDESUM& S = SUM[SORTED.BELOW[X]];
      S.ADD(static_cast<TEXTENDED>(static_cast<uint64_t>(ACC[X] >> 64)) * HALF);
      S.ADD(static_cast<TEXTENDED>(static_cast<uint64_t>(ACC[X])) * UNIT);
      ACC[X] = 0;
    }
    LOW = 0x8000;
    HIGH = 0;
  }
};

// One program's rows of a file 2..27 into its tally: the rows of order
// within BOUND (when it filters by order), on the side KEEPS of the period
// cut (when it selects), by the |A| of their estimate P0, halved as the
// program's test halves it (when it tests).
void TALLYFILE(TTALLY& Y, const TSORTED& SORTED, const TROWFIELDS* F, const uint8_t* SIDE, const TEXTENDED* P0,
               const TMAGNITUDE* MAG, int32_t COUNT, bool ORDERFILTER, int BOUND, uint8_t KEEPS, bool TESTED) {
  int64_t* const N = Y.COUNT.data();
  TWIDESUM* const SUM = Y.SUM.data();
  unsigned __int128* const ACC = Y.ACC.data();
  const uint16_t* const BELOW = SORTED.BELOW.data();
  unsigned LOW = Y.LOW, HIGH = Y.HIGH;
  int64_t ALWAYS = 0;
  for (int32_t M = 0; M < COUNT; ++M) {
    const int S = F[M].ORDER;
    if (ORDERFILTER && S > BOUND) continue;
    if (KEEPS != 0 && (SIDE[M] & KEEPS) == 0) continue;
    if (!TESTED) {
      ++ALWAYS;
      continue;
    }
    const int H = HALVINGPOWER(S, BOUND);
    // Halving a normal value is exact while it stays normal: then |A| has
    // the significand of P0 and its exponent less H, and a binade without
    // a threshold decides the count alone.
    const unsigned X = MAG[M].EXP - static_cast<unsigned>(H);
    if (MAG[M].EXP - 1u < 0x7FFEu && X - 1u < 0x7FFEu && BELOW[X] == BELOW[X + 1]) [[likely]] {
      ++N[BELOW[X]];
      ACC[X] += MAG[M].MANT;
      LOW = X < LOW ? X : LOW;
      HIGH = X > HIGH ? X : HIGH;
      continue;
    }
    const TEXTENDED E = EXTABS(H > 0 ? P0[M] * POWAR.DATA()[H] : P0[M]);
    const size_t K = SORTED.COUNTBELOW(E);
    ++N[K];
    SUM[K].ADD(E);
  }
  Y.ALWAYS += ALWAYS;
  Y.LOW = LOW;
  Y.HIGH = HIGH;
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
