// unfuplas: termsecul, the secular terms (period over 200 Julian years,
// frequency zero included), unchanged, with their periods; files roco*.txt.
#pragma once

#include <cstdint>

void FUNSECU(uint8_t I);
