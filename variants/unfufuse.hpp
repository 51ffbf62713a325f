// unfufuse: the pipeline fused into one pass over the parsed rows of each
// series file, what the programs run. No row is copied between tables: the
// terms that pass the amplitude test and the selection are gathered as
// references to their rows, then written from the rows' texts. Every check
// happens on the same row and in the same order as in the stages
// (unfustag), so a failure comes at the same point.
#pragma once

#include <cstdint>

#include "unfurun.hpp"

// One series file N of pair (I, J), in one pass.
void FUSEDBLOCK(TPROGRUN& R, uint8_t I, uint8_t J, int N);
