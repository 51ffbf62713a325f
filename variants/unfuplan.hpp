// unfuplan: termall, every term whose amplitude estimate is not negligible,
// unchanged, without periods; files robo*.txt.
#pragma once

#include <cstdint>

#include "unfurun.hpp"

// The per-planet driver of termall: its run R, perturbed planet I.
void FUNBODY(TPROGRUN& R, uint8_t I);
