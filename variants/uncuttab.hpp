// uncuttab: how many terms each cut keeps (the program termcuts). For
// every ordered pair and the rules of each program of the table, the number
// of terms the program would write at each threshold of a list, and the sum
// of the magnitudes |A| of the amplitude estimates of the terms of its kind
// that the cut drops: a first measure of what the truncation costs the
// pair.
//
// The rules are the programs' own: file 1 gives its rows and their mirror
// images untested; the rows of files 2..27 pass the order filter (where the
// program has one), are of the program's kind by their period (where it
// selects), and pass when |A| exceeds the threshold (where it has the
// amplitude test). |A| is formed as the test forms it, so a count equals
// that of the program's count table at that threshold. The sums are added
// in twice the extended precision, so that they hardly depend on the order
// of the terms, and rounded once.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "termvariant.hpp"
#include "unalltyp.hpp"
#include "unfucuts.hpp"

// The counts of one program, pair and threshold.
struct TCUTCELL {
  int64_t KEPT = 0;                // row lines written
  TEXTENDED DROPPED = 0.0_EXT;     // sum of |A| of the terms dropped
};

struct TCUTTABLE {
  std::vector<TEXTENDED> THRESHOLDS;  // as given, in the order given
  std::vector<std::string> TEXTS;     // their texts
  std::vector<TCUTS> CUTS;            // [program of PROGRAMTABLE]
  // [program][pair 0..55, in the order I = 1..8, J = 1..8, J != I]
  // [threshold]; a program without the amplitude test has one threshold
  // column, the first.
  std::vector<TCUTCELL> CELLS;
  TCUTCELL& CELL(int P, int PAIR, size_t T) {
    return CELLS[(static_cast<size_t>(P) * 56 + static_cast<size_t>(PAIR)) * THRESHOLDS.size() + T];
  }
};

// Fills T.CELLS from the series files, with the thresholds and cuts in T.
// The files are parsed as the programs parse them, and a file or a row
// that stops a program stops this with that program's report, at the
// first place where one of them meets it.
void COUNTCUTS(TCUTTABLE& T);
