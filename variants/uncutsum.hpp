// uncutsum: the tallies of termcuts (uncuttab): the thresholds in ascending
// order, with the binades that hold none of them; a sum of extended values
// in twice the precision; and one program's rows of a file counted and
// summed by how many thresholds lie below their |A|.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "unalltyp.hpp"
#include "unfugate.hpp"
#include "unfuline.hpp"

// The thresholds in ascending order, and where each stands in the list
// given; and, for each binary exponent, how many of them lie below every
// value of that exponent and how many below every value of the next: where
// the two agree (a binade that holds no threshold, nearly always) that is
// the number of thresholds below any value of it, found without a search.
struct TSORTED {
  std::vector<unsigned __int128> KEYS;
  std::vector<size_t> PLACE;
  std::vector<uint16_t> BELOW;  // [biased exponent + 1]

  explicit TSORTED(const std::vector<TEXTENDED>& T);
  // How many thresholds lie below E (non-negative).
  size_t COUNTBELOW(TEXTENDED E) const;
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
  void SETTLE(const TSORTED& SORTED);
};

// One program's rows of a file 2..27 into its tally: the rows of order
// within BOUND (when it filters by order), on the side KEEPS of the period
// cut (when it selects), by the |A| of their estimate P0, halved as the
// program's test halves it (when it tests).
void TALLYFILE(TTALLY& Y, const TSORTED& SORTED, const TROWFIELDS* F, const uint8_t* SIDE, const TEXTENDED* P0,
               const TMAGNITUDE* MAG, int32_t COUNT, bool ORDERFILTER, int BOUND, uint8_t KEEPS, bool TESTED);
