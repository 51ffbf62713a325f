// unfuline: the row line (see unfuline.hpp).
#include "unfuline.hpp"

#include <string>

#include "unfastdig.hpp"
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

void PUTPLAINROW(TTEXTOUT& F, const char* PLANETS, char SIGN, const TROWVAR& R, char FCS, const TLINEEND* E,
                 std::string_view ESTIMATE) {
  F.PUT(std::string_view(PLANETS, 8));
  F.PUTCH(SIGN);
  F.PUT(PLAINROWTEXT(R));
  F.PUTCH(FCS);
  if (E != nullptr) F.PUT(std::string_view(E->TXT, E->LEN - 2u));  // without its CR LF
  F.PUT(ESTIMATE);
  F.PUT("\r\n");
}

namespace {

// A marker right-aligned in the 24 characters of the field.
char* PUTMARKER(char* O, const char* M) {
  const size_t N = std::strlen(M);
  std::memset(O, ' ', 24 - N);
  std::memcpy(O + 24 - N, M, N);
  return O + 24;
}

}  // namespace

char* PUTESTIMATE(char* O, bool FORMS, TEXTENDED A) {
  if (!FORMS) return PUTMARKER(O, "none");
  if (EXTISINF(A)) return PUTMARKER(O, "inf");
  O[0] = O[1] = ' ';
  return O + 2 + FASTAMPDIGITS(A, O + 2);
}

std::string PLAINESTIMATE(bool FORMS, TEXTENDED A) {
  if (!FORMS || EXTISINF(A)) {
    const std::string M = FORMS ? "inf" : "none";
    return std::string(24 - M.size(), ' ') + M;
  }
  char B[64];
  return "  " + std::string(B, static_cast<size_t>(AMPDIGITS(EXTABS(A), B)));
}
