#include "unfuplat.hpp"

#include "unfupipe.hpp"

void FUSHORT(uint8_t I) { PLANETDRIVER(VARSHORT, I); }
