// unreagen: the general reading of decimal numbers, for any field: the
// shape of a real field and its significant digits, then one correctly
// rounded operation or the C library's conversion (READREALGENERAL,
// READREALEXACT); and READINT (see unreanum.hpp).
#include "unreanum.hpp"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "unextcnv.hpp"
#include "unreapow.hpp"

namespace {

// The shape of a real field.
struct TSHAPE {
  bool NEG = false;
  std::string_view DIGITS;  // integer and fraction digits, point excluded
  size_t POINT = 0;         // number of integer digits
  size_t INTEND = 0;        // offset of the point (or of what follows)
  long long EXP = 0;        // exponent part, saturated
};

bool SHAPEOF(std::string_view F, TSHAPE& S) {
  size_t I = 0;
  if (I < F.size() && (F[I] == '+' || F[I] == '-')) S.NEG = F[I++] == '-';
  size_t A = I;
  while (I < F.size() && ISDIGIT(F[I])) ++I;
  size_t NINT = I - A;
  size_t NFRAC = 0;
  if (I < F.size() && F[I] == '.') {
    ++I;
    size_t B = I;
    while (I < F.size() && ISDIGIT(F[I])) ++I;
    NFRAC = I - B;
  }
  if (NINT + NFRAC == 0) return false;
  S.POINT = NINT;
  S.INTEND = A + NINT;
  S.DIGITS = F.substr(A, I - A);  // may contain the point
  if (I < F.size() && (F[I] == 'e' || F[I] == 'E')) {
    ++I;
    bool ENEG = false;
    if (I < F.size() && (F[I] == '+' || F[I] == '-')) ENEG = F[I++] == '-';
    size_t B = I;
    const long long X = DIGITSVALUE(F, I);  // saturated, which still decides (undecfld)
    if (I == B) return false;
    S.EXP = ENEG ? -X : X;
  }
  return I == F.size();
}

}  // namespace

bool READREALEXACT(std::string_view FIELD, TEXTENDED& VALUE) {
  TSHAPE S;
  if (!SHAPEOF(FIELD, S)) return false;
  std::string Z(FIELD);
  errno = 0;
  TEXTENDED V;
  if (!EXTREADALL(Z, V)) return false;
  if (EXTISINF(V) || EXTISNAN(V)) return false;
  VALUE = V;
  return true;
}

bool READREALGENERAL(std::string_view FIELD, TEXTENDED& VALUE, char* DIGITS, int* DIGITSLEN) {
  TSHAPE S;
  if (!SHAPEOF(FIELD, S)) return false;
  // Significant digits: from the first non-zero digit to the last one.
  const std::string_view D = S.DIGITS;
  long long FIRST = -1, LAST = -1, POS = 0;  // digit positions, point skipped
  long long FIRSTPOS = 0, LASTPOS = 0;
  for (size_t K = 0; K < D.size(); ++K) {
    if (D[K] == '.') continue;
    if (D[K] != '0') {
      if (FIRST < 0) {
        FIRST = static_cast<long long>(K);
        FIRSTPOS = POS;
      }
      LAST = static_cast<long long>(K);
      LASTPOS = POS;
    }
    ++POS;
  }
  if (FIRST < 0) {
    VALUE = S.NEG ? -0.0_EXT : 0.0_EXT;
    if (DIGITS != nullptr) {
      std::string_view T = "0.0000000000000000e+00";
      T.copy(DIGITS, T.size());
      *DIGITSLEN = static_cast<int>(T.size());
    }
    return true;
  }
  const long long NSIG = LASTPOS - FIRSTPOS + 1;
  const long long PT = static_cast<long long>(S.POINT);
  // value = SIG * 10^E10; scientific exponent SCI.
  const long long E10 = S.EXP + PT - 1 - LASTPOS;
  const long long SCI = S.EXP + PT - 1 - FIRSTPOS;
  if (NSIG > WORDDIGITS || E10 > MAXEXACTPOW || E10 < -MAXEXACTPOW)
    return READREALEXACT(FIELD, VALUE);
  uint64_t SIG = 0;
  for (long long K = FIRST; K <= LAST; ++K)
    if (D[static_cast<size_t>(K)] != '.')
      SIG = SIG * 10 + static_cast<uint64_t>(D[static_cast<size_t>(K)] - '0');
  const TEXTENDED V = SCALED(SIG, E10);
  VALUE = S.NEG ? -V : V;
  if (DIGITS != nullptr && NSIG <= 17) {
    // The nearest extended value to a decimal of at most 17 digits prints
    // back, at 17 digits, as that decimal: copy its digits.
    char* O = DIGITS;
    bool FIRSTDIG = true;
    int N = 0;
    for (long long K = FIRST; K <= LAST; ++K) {
      char C = D[static_cast<size_t>(K)];
      if (C == '.') continue;
      *O++ = C;
      ++N;
      if (FIRSTDIG) {
        *O++ = '.';
        FIRSTDIG = false;
      }
    }
    for (; N < 17; ++N) *O++ = '0';
    *O++ = 'e';
    *O++ = SCI < 0 ? '-' : '+';
    long long A = SCI < 0 ? -SCI : SCI;
    // |SCI| <= 27 + 18 here: two digits.
    *O++ = static_cast<char>('0' + A / 10);
    *O++ = static_cast<char>('0' + A % 10);
    *DIGITSLEN = static_cast<int>(O - DIGITS);
  }
  return true;
}

bool READINT(std::string_view F, long long& VALUE) {
  size_t I = 0;
  bool NEG = false;
  if (I < F.size() && (F[I] == '+' || F[I] == '-')) NEG = F[I++] == '-';
  const size_t B = I;
  const long long X = DIGITSVALUE(F, I);
  if (I == B || I != F.size()) return false;
  VALUE = NEG ? -X : X;
  return true;
}
