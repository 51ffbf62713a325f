#include "unvarpow.hpp"

#include "unelmini.hpp"

TAXIPO AXIPO{};
TPOWAR POWAR{};

void POWOMEL() {
  POWAR[0] = 1.0_EXT;
  for (int K = 1; K <= MAXHALF; ++K) POWAR[K] = 0.5_EXT * POWAR[K - 1];
  for (int N = 1; N <= MAXIPA; ++N) {
    TAXIROW& A = AXIPO[N];
    A[0] = 1.0_EXT;
    for (int K = 1; K <= MAXAXIEXP; ++K) A[K] = VALAX[N] * A[K - 1];
    for (int K = 0; K >= -(MAXAXIEXP - 1); --K) A[K - 1] = A[K] / VALAX[N];
  }
}
