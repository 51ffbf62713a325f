// unfucnt: the lines of a per-pair file that give counts, and the count
// table. A block opens with the number of rows of its series file that go
// on (BLOCKLINE) and its terms follow two count lines (COUNTLINES), which
// add their number to K and L; after the seven pairs of a perturbed planet
// the count table is written anew from Z (COUNTTABLE).
#pragma once

#include <cstdint>

#include "unfurun.hpp"

// The block line of series file N of pair (I, J), whose ROWS rows go on.
void BLOCKLINE(TPROGRUN& R, uint8_t I, uint8_t J, int N, int32_t ROWS);
// The two count lines of the N terms of a block; adds N to K and L.
void COUNTLINES(TPROGRUN& R, int32_t N);
// The count table of program R.V from R.Z, written anew.
void COUNTTABLE(TPROGRUN& R);
