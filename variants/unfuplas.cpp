#include "unfuplas.hpp"

#include "unfupipe.hpp"

void FUNSECU(TPROGRUN& R, uint8_t I) { PLANETDRIVER(R, I); }
