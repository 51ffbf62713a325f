// unfuline: the row line (see unfuline.hpp).
#include "unfuline.hpp"

#include <string>

#include "unforstr.hpp"

TPLANETS PLANETSTEXT(uint8_t NPA, uint8_t NPB) {
  char B[48];
  int N = FORMATINT(B, NPA, 3);
  N += FORMATINT(B + N, NPB, 3);
  TPLANETS P;
  std::memcpy(P.C, B, 6);  // planet numbers are 1..8
  P.C[6] = P.C[7] = ' ';
  return P;
}

namespace {

void SETLINEEND(TLINEEND& E, std::string T) {
  if (T.size() > sizeof E.TXT - 2) T.resize(sizeof E.TXT - 2);
  T += "\r\n";
  std::memcpy(E.TXT, T.data(), T.size());
  E.LEN = static_cast<uint8_t>(T.size());
}

}  // namespace

void PERIODLINEEND(TLINEEND& E, TEXTENDED P, int WIDTH) { SETLINEEND(E, "  " + FIXEDTEXT(P, WIDTH)); }

void PLAINLINEEND(TLINEEND& E) { SETLINEEND(E, {}); }

std::string PLAINROWTEXT(const TROWVAR& R) {
  char B[64];
  const int N = AMPDIGITS(R.AMP, B);
  std::string T(B, static_cast<size_t>(N));
  T += ' ';
  for (int I = 1; I <= NUMSEL; ++I) T.append(B, static_cast<size_t>(FORMATINT(B, R.MEC[I], 4)));
  T += ' ';
  for (int I = 1; I <= MAXARG; ++I) T.append(B, static_cast<size_t>(FORMATINT(B, R.MAR[I], 4)));
  return T + "  ";
}

void PUTPLAINROW(TTEXTOUT& F, const char* PLANETS, char SIGN, const TROWVAR& R, char FCS, const TLINEEND* E) {
  F.PUT(std::string_view(PLANETS, 8));
  F.PUTCH(SIGN);
  F.PUT(PLAINROWTEXT(R));
  F.PUTCH(FCS);
  if (E != nullptr)
    F.PUT(std::string_view(E->TXT, E->LEN));
  else
    F.PUT("\r\n");
}
