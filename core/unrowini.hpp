// unrowini: the empty row RECNUL, the template of every row read: planets
// 0, amplitude 0, all exponents and multipliers 0, code 'C'.
#pragma once

void RECNULLO();
