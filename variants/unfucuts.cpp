// unfucuts: the cuts of a run (see unfucuts.hpp).
#include "unfucuts.hpp"

#include <cstring>

namespace {

bool SAMEBITS(TEXTENDED A, TEXTENDED B) { return std::memcmp(&A, &B, 10) == 0; }

}  // namespace

TCUTS DEFAULTCUTS(const TVARIANT& V) {
  TCUTS C;
  C.ORDERBOUND = V.ORDERBOUND;
  return C;
}

bool ISDEFAULT(const TVARIANT& V, const TCUTS& C) {
  const TCUTS D = DEFAULTCUTS(V);
  return SAMEBITS(C.THRESHOLD, D.THRESHOLD) && SAMEBITS(C.PERIODCUT, D.PERIODCUT) &&
         C.ORDERBOUND == D.ORDERBOUND && C.ESTIMATES == D.ESTIMATES;
}
