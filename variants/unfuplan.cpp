#include "unfuplan.hpp"

#include "unfupipe.hpp"

void FUNBODY(uint8_t I) { PLANETDRIVER(VARALL, I); }
