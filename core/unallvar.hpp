// unallvar: the process-wide globals: the nine row tables and the counts of
// the four in use, the empty row and the order limit. All start at zero.
#pragma once

#include "unalltyp.hpp"

extern int8_t MAXSUM;  // highest order that termshort retains
extern TROWVAR RECNUL; // the empty row

extern int32_t MECONE, MECTWO, MECTRE, MECAUX;
extern TROWPTR ROWONE, ROWTWO, ROWTRE, ROWFUR, ROWFIV, ROWSIX, ROWAUX, ROWTMP,
    ROWCOH;
