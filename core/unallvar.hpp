// unallvar: the process-wide globals: the nine row tables and the counts of
// the four in use, and the empty row. All start at zero. The order limit
// MAXSUM of termshort is a cut of its run, held with the run's state
// (TPROGRUN, unfurun), so that runs of several programs may share a
// process.
#pragma once

#include "unalltyp.hpp"

extern TROWVAR RECNUL; // the empty row

extern int32_t MECONE, MECTWO, MECTRE, MECAUX;
extern TROWPTR ROWONE, ROWTWO, ROWTRE, ROWFUR, ROWFIV, ROWSIX, ROWAUX, ROWTMP,
    ROWCOH;
