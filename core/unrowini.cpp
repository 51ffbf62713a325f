#include "unrowini.hpp"

#include "unallvar.hpp"

void RECNULLO() {
  RECNUL.NPA = 0;
  RECNUL.NPB = 0;
  RECNUL.AMP = 0.0_EXT;
  for (int I = 1; I <= NUMSEL; ++I) RECNUL.MEC[I] = 0;
  for (int I = 1; I <= MAXARG; ++I) RECNUL.MAR[I] = 0;
  RECNUL.FCS = 'C';
  RECNUL.TXT = 0;
}
