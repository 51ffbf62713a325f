// unfustag: the pipeline stage by stage, as the programs describe it:
// each stage reads and writes the shared row tables and their counts.
// This is the reference that the fused pipeline (unfufuse) is tested
// against: both write the same bytes and fail at the same points. It works
// in the process-wide row tables, so one run at a time uses it.
#pragma once

#include <cstdint>

#include "unfurun.hpp"

// The stages, in the order a pair runs them (ORDERFILTER: unfuordr).
void READSERIES(uint8_t N);                           // into ROWONE/MECONE
void PAIRTAG(uint8_t I, uint8_t J);                   // ROWONE: planets (min, max)
void FIRSTFILE(TPROGRUN& R, uint8_t I, uint8_t J);    // ROWONE -> ROWTWO
void AMPLPREP(TPROGRUN& R, uint8_t J);                // ROWONE -> ROWTWO, tested
void COPYALL();                                       // ROWONE -> ROWTWO
void SELECTWRITE(TPROGRUN& R);                        // ROWTWO -> (ROWTRE) -> F

// One series file N of pair (I, J), stage by stage.
void STAGEDBLOCK(TPROGRUN& R, uint8_t I, uint8_t J, int N);
