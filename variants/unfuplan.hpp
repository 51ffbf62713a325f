// unfuplan: termall, every term whose amplitude estimate is not negligible,
// unchanged, without periods; files robo*.txt.
#pragma once

#include <cstdint>

void FUNBODY(uint8_t I);
