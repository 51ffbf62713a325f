// unfuplat: termshort, the short-period terms (period under 200 Julian
// years), sine and cosine exchanged, with their periods; files roho*.txt.
#pragma once

#include <cstdint>

#include "unfurun.hpp"

// The per-planet driver of termshort: its run R, perturbed planet I.
void FUSHORT(TPROGRUN& R, uint8_t I);
