#include "ungetmem.hpp"

#include <cstdlib>
#include <cstring>

#include "unallvar.hpp"
#include "unfatal.hpp"

namespace {

void GETONE(TROWPTR& P, const char* NAME) {
  // Raw storage, not cleared: rows are written before they are read.
  void* M = std::malloc(sizeof(TROWDIM));
  if (M == nullptr) MEMORYERROR(NAME, sizeof(TROWDIM));
  P = static_cast<TROWPTR>(M);
}

}  // namespace

void GETROWMEM() {
  GETONE(ROWONE, "row table ROWONE");
  GETONE(ROWTWO, "row table ROWTWO");
  GETONE(ROWTRE, "row table ROWTRE");
  GETONE(ROWFUR, "row table ROWFUR");
  GETONE(ROWFIV, "row table ROWFIV");
  GETONE(ROWSIX, "row table ROWSIX");
  GETONE(ROWAUX, "row table ROWAUX");
  GETONE(ROWTMP, "row table ROWTMP");
  GETONE(ROWCOH, "row table ROWCOH");
}

void FREEROWMEM() {
  for (TROWPTR P : {ROWCOH, ROWTMP, ROWAUX, ROWSIX, ROWFIV, ROWFUR, ROWTRE,
                    ROWTWO, ROWONE})
    std::free(P);
}

void COPYROWS(TROWDIM& TO, const TROWDIM& FROM, int32_t N) {
  if (N > 0) {
    TO.CHECKINDEX(N);
    FROM.CHECKINDEX(N);
    std::memcpy(TO.DATA(), FROM.DATA(), static_cast<size_t>(N) * sizeof(TROWVAR));
  }
}
