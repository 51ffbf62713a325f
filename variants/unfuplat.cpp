#include "unfuplat.hpp"

#include "unfupipe.hpp"

void FUSHORT(TPROGRUN& R, uint8_t I) { PLANETDRIVER(R, I); }
