#include "unallvar.hpp"

TROWVAR RECNUL{};

int32_t MECONE = 0, MECTWO = 0, MECTRE = 0, MECAUX = 0;
TROWPTR ROWONE = nullptr, ROWTWO = nullptr, ROWTRE = nullptr,
        ROWFUR = nullptr, ROWFIV = nullptr, ROWSIX = nullptr,
        ROWAUX = nullptr, ROWTMP = nullptr, ROWCOH = nullptr;
