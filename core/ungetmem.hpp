// ungetmem: the nine row tables, obtained once when a program starts and
// returned once when it ends, and the whole-row copies between them. A
// table that cannot be obtained ends the program with the out-of-memory
// error. Fresh tables are not cleared.
//
// The pipeline that runs keeps the rows of each series file in a store of
// its own (unsercac) and reads none of these tables; the stage-by-stage
// pipeline that it is tested against works in them. They are obtained all
// the same, at the start of every run, in their order: the storage a run
// holds, and so where it runs out under a memory limit, is part of how a
// run fails, and the nine tables (some 31 MB) are the first of it.
#pragma once

#include <cstdint>

#include "unalltyp.hpp"

void GETROWMEM();
void FREEROWMEM();

// Whole-row copy of rows 1..N between tables, N already within 0..MAXARR.
void COPYROWS(TROWDIM& TO, const TROWDIM& FROM, int32_t N);
