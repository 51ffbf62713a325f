// ungetmem: the nine row tables, obtained once when a program starts and
// returned once when it ends. A table that cannot be obtained ends the
// program with the out-of-memory error. Fresh tables are not cleared.
#pragma once

void GETROWMEM();
void FREEROWMEM();
