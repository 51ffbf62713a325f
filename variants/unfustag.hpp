// unfustag: the pipeline stage by stage, as the programs describe it:
// each stage reads and writes the shared row tables and their counts.
// This is the reference that the fused pipeline (unfufuse) is tested
// against: both write the same bytes and fail at the same points.
#pragma once

#include <cstdint>

#include "termvariant.hpp"
#include "unalltyp.hpp"

// The stages, in the order a pair runs them (ORDERFILTER: unfuordr).
void READSERIES(uint8_t N);            // into ROWONE/MECONE
void PAIRTAG(uint8_t I, uint8_t J);    // ROWONE: planets (min, max)
void FIRSTFILE(uint8_t I, uint8_t J);  // ROWONE -> ROWTWO
void AMPLTEST(uint8_t J, int BOUND);   // ROWONE -> ROWTWO
void COPYALL();                        // ROWONE -> ROWTWO
void SELECTWRITE(const TVARIANT& V);   // ROWTWO -> (ROWTRE) -> F

// One series file N of pair (I, J), stage by stage.
void STAGEDBLOCK(const TVARIANT& V, uint8_t I, uint8_t J, int N);

// Whole-row copy of rows 1..N between tables, N already within 0..MAXARR.
void COPYROWS(TROWDIM& TO, const TROWDIM& FROM, int32_t N);
