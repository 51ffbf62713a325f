// unfuplat: termshort, the short-period terms (period under 200 Julian
// years), sine and cosine exchanged, with their periods; files roho*.txt.
#pragma once

#include <cstdint>

void FUSHORT(uint8_t I);
