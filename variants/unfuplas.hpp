// unfuplas: termsecul, the secular terms (period over 200 Julian years,
// frequency zero included), unchanged, with their periods; files roco*.txt.
#pragma once

#include <cstdint>

#include "unfurun.hpp"

// The per-planet driver of termsecul: its run R, perturbed planet I.
void FUNSECU(TPROGRUN& R, uint8_t I);
