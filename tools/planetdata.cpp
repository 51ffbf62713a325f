// planetdata: the mean motions n(1..8) as the programs compute them
// (FORFACTOM), for the tests of the Python package, which keeps them as
// float64. One line per planet: N, the ten bytes of the extended value in
// hexadecimal (sign and exponent first, then the significand), and its
// amplitude text.
#include <cstdio>
#include <cstring>

#include "unallcon.hpp"
#include "unalltyp.hpp"
#include "unelmini.hpp"
#include "unforstr.hpp"

int main() {
  FORFACTOM();
  for (int N = 1; N <= MAXIPA; ++N) {
    const TEXTENDED E = VALAN[N];
    unsigned char B[10];
    std::memcpy(B, &E, 10);
    std::printf("%d ", N);
    for (int I = 9; I >= 0; --I) {
      std::printf("%02x", B[I]);
    }
    std::printf(" %s\r\n", FLOATWITHPOWER(E, 26).c_str());
  }
  return 0;
}
