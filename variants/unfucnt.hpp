// unfucnt: the lines of a per-pair file that give counts, and the count
// table. A block opens with the number of rows of its series file that go
// on (BLOCKLINE) and its terms follow two count lines (COUNTLINES), which
// add their number to K and L; after the seven pairs of a perturbed planet
// the count table is written anew from Z (COUNTTABLE).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "unfurun.hpp"

// The block line of series file N of pair (I, J), whose ROWS rows go on.
void BLOCKLINE(TPROGRUN& R, uint8_t I, uint8_t J, int N, int32_t ROWS);
// The two count lines of the N terms of a block; adds N to K and L.
void COUNTLINES(TPROGRUN& R, int32_t N);
// The count table of program R.V from R.Z, written anew. Where it is a
// plain file of the folder (or missing), its new text goes into the file
// TABLENEW(V) beside it, with the table's permissions, which is then
// renamed over it: at any moment the table is the earlier complete one or
// the new complete one. A table that is a link, a device or a FIFO, or a
// file with other names too, is written in place, its whole text in one
// write after it is opened. A table that may not be written is the I/O
// error, as its opening for writing would be. A run that compares (see
// TPROGRUN::COMPAREINTO) compares the last table alone (LAST, after the
// last perturbed planet), the one a finished run leaves.
void COUNTTABLE(TPROGRUN& R, bool LAST = true);
std::string TABLENEW(const TVARIANT& V);

// The per-pair file of program V and pair (I, J): PREFIX, I and J in two
// digits each, ".txt".
std::string PAIRFILENAME(const TVARIANT& V, int I, int J);
// Every output of a run of V in the order it writes them: the per-pair
// files of each perturbed planet, then the count table's new text and the
// table.
std::vector<std::string> OUTPUTNAMES(const TVARIANT& V);
