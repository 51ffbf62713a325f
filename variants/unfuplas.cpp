#include "unfuplas.hpp"

#include "unfupipe.hpp"

void FUNSECU(uint8_t I) { PLANETDRIVER(VARSECUL, I); }
