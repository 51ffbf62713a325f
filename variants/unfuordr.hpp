// unfuordr: the order of a term and the order filter, with which termshort
// (procedure TOLIMINU) keeps of each series file only the rows of order at
// most MAXSUM, its cut. The order of a row is MEC[1] + MEC[2] + MEC[3] +
// MEC[4], held as a shortint: an order outside -128..127 is the range
// error, met where the row is filtered or tested.
#pragma once

#include <cstddef>

#include "unalltyp.hpp"
#include "unchkarr.hpp"

struct TSERIESFILE;
struct TTESTREC;
struct TPIPEPLACE;

inline int ORDEROF(long ORDERSUM) { return TOSHORTINT(ORDERSUM, "order MEC[1]+MEC[2]+MEC[3]+MEC[4]"); }
inline int ORDEROF(const TROWVAR& R) {
  return ORDEROF(static_cast<long>(R.MEC[1]) + R.MEC[2] + R.MEC[3] + R.MEC[4]);
}

// The stage: ROWONE[1..MECONE] keeps its rows of order <= MAXSUM, in
// order; ROWAUX holds the rows before. HERE.TERM names the row in hand.
void ORDERFILTER(int MAXSUM, TPIPEPLACE& HERE);

// The same for the fused pipeline: the test records of the rows of file S
// of order at most MAXSUM, in order, made once per file and bound and kept
// in S; their number in NRECS.
const TTESTREC* ORDERRECS(TSERIESFILE& S, int MAXSUM, TPIPEPLACE& HERE, size_t& NRECS);
