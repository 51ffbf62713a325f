#include "unfuplan.hpp"

#include "unfupipe.hpp"

void FUNBODY(TPROGRUN& R, uint8_t I) { PLANETDRIVER(R, I); }
