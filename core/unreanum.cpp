#include "unreanum.hpp"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr int MAXEXACTPOW = 27;  // 10^27 = 5^27 * 2^27, 5^27 < 2^64

struct TPOW10 {
  TEXTENDED V[MAXEXACTPOW + 1];
  constexpr TPOW10() : V() {
    TEXTENDED P = 1.0L;
    for (int I = 0; I <= MAXEXACTPOW; ++I) {
      V[I] = P;
      P *= 10.0L;
    }
  }
};
constexpr TPOW10 POW10;

constexpr long long EXPCAP = 1000000000LL;

// SIG * 10^E in one correctly rounded operation (|E| <= MAXEXACTPOW: the
// power is exact, and so is SIG, below 2^64).
TEXTENDED SCALED(uint64_t SIG, long long E) {
  const TEXTENDED V = static_cast<TEXTENDED>(SIG);
  return E >= 0 ? V * POW10.V[E] : V / POW10.V[-E];
}

bool ISDIGIT(char C) { return C >= '0' && C <= '9'; }

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
    long long X = 0;
    while (I < F.size() && ISDIGIT(F[I])) {
      if (X < EXPCAP) X = X * 10 + (F[I] - '0');
      ++I;
    }
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
  char* END = nullptr;
  TEXTENDED V = std::strtold(Z.c_str(), &END);
  if (END != Z.c_str() + Z.size()) return false;
  if (std::isinf(V) || std::isnan(V)) return false;
  VALUE = V;
  return true;
}

namespace {

// The general conversion: the shape of the field, then one operation or the
// exact path.
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
    VALUE = S.NEG ? -0.0L : 0.0L;
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
  if (NSIG > 19 || E10 > MAXEXACTPOW || E10 < -MAXEXACTPOW)
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

// The usual field in one pass: at most 19 digits in all, not all zero, an
// exponent of at most four digits, and a power of ten within the exact
// range both with and without the trailing zeros. The value SIG * 10^E,
// with SIG all the digits, is the same real number as the general path's
// significant digits times its power, so the one correctly rounded
// operation gives the same extended value, and the digits are the same.
// False when the field is not of that kind: the general path decides.
bool READREALUSUAL(std::string_view FIELD, TEXTENDED& VALUE, char* DIGITS, int* DIGITSLEN) {
  const char* C = FIELD.data();
  const char* const END = C + FIELD.size();
  bool NEG = false;
  if (C < END && (*C == '+' || *C == '-')) NEG = *C++ == '-';
  char DIG[19];
  int NDIG = 0, NINT = 0, FIRSTPOS = -1, LASTPOS = -1;
  uint64_t SIG = 0;
  for (int PART = 0; PART < 2; ++PART) {
    for (; C < END && ISDIGIT(*C); ++C) {
      if (NDIG == 19) return false;
      const int D = *C - '0';
      SIG = SIG * 10 + static_cast<uint64_t>(D);
      if (D != 0) {
        if (FIRSTPOS < 0) FIRSTPOS = NDIG;
        LASTPOS = NDIG;
      }
      DIG[NDIG++] = *C;
    }
    if (PART == 0) {
      NINT = NDIG;
      if (C == END || *C != '.') break;
      ++C;
    }
  }
  if (FIRSTPOS < 0) return false;
  int EXP = 0;
  if (C < END && (*C == 'e' || *C == 'E')) {
    ++C;
    bool ENEG = false;
    if (C < END && (*C == '+' || *C == '-')) ENEG = *C++ == '-';
    const char* const B = C;
    for (; C < END && ISDIGIT(*C); ++C) {
      if (C - B == 4) return false;
      EXP = EXP * 10 + (*C - '0');
    }
    if (C == B) return false;
    if (ENEG) EXP = -EXP;
  }
  if (C != END) return false;
  const int E = EXP - (NDIG - NINT);        // of SIG
  const int E10 = E + (NDIG - 1 - LASTPOS);  // of the significant digits
  if (E < -MAXEXACTPOW || E10 > MAXEXACTPOW || E10 < -MAXEXACTPOW) return false;
  const TEXTENDED V = SCALED(SIG, E);
  VALUE = NEG ? -V : V;
  if (DIGITS != nullptr && LASTPOS - FIRSTPOS < 17) {
    char* O = DIGITS;
    *O++ = DIG[FIRSTPOS];
    *O++ = '.';
    for (int K = FIRSTPOS + 1; K <= LASTPOS; ++K) *O++ = DIG[K];
    for (int K = LASTPOS - FIRSTPOS + 1; K < 17; ++K) *O++ = '0';
    const int SCI = EXP + NINT - 1 - FIRSTPOS;
    *O++ = 'e';
    *O++ = SCI < 0 ? '-' : '+';
    const int A = SCI < 0 ? -SCI : SCI;  // at most 27 + 18
    *O++ = static_cast<char>('0' + A / 10);
    *O++ = static_cast<char>('0' + A % 10);
    *DIGITSLEN = static_cast<int>(O - DIGITS);
  }
  return true;
}

// Eight digit characters at P as their value; false when one is not a
// digit.
bool EIGHTDIGITS(const char* P, uint32_t& V) {
  uint64_t W;
  std::memcpy(&W, P, 8);
  const uint64_t D = W - 0x3030303030303030ULL;  // no borrow when every byte >= '0'
  if ((W & 0xF0F0F0F0F0F0F0F0ULL) != 0x3030303030303030ULL ||
      ((W + 0x0606060606060606ULL) & 0xF0F0F0F0F0F0F0F0ULL) != 0x3030303030303030ULL)
    return false;
  // Pairs, quads, then the eight: the first character is the most
  // significant digit.
  uint64_t X = (D * 10) + (D >> 8);
  X = (((X & 0x000000FF000000FFULL) * 0x000F424000000064ULL) +
       (((X >> 16) & 0x000000FF000000FFULL) * 0x0000271000000001ULL)) >> 32;
  V = static_cast<uint32_t>(X);
  return true;
}

// The form the series files are written in: an optional sign, a digit
// 1..9, the point, 16 digits, e or E, the exponent's sign and two digits.
// The same value and digit text as READREALUSUAL; false for any other
// form, or when the power of ten lies outside the exact range.
bool READREALSCIENTIFIC(std::string_view FIELD, TEXTENDED& VALUE, char* DIGITS, int* DIGITSLEN) {
  const char* C = FIELD.data();
  size_t N = FIELD.size();
  const bool NEG = N > 0 && *C == '-';
  if (N > 0 && (*C == '-' || *C == '+')) {
    ++C;
    --N;
  }
  if (N != 22 || C[0] < '1' || C[0] > '9' || C[1] != '.' || (C[18] != 'e' && C[18] != 'E') ||
      (C[19] != '+' && C[19] != '-') || !ISDIGIT(C[20]) || !ISDIGIT(C[21]))
    return false;
  uint32_t HI, LO;
  if (!EIGHTDIGITS(C + 2, HI) || !EIGHTDIGITS(C + 10, LO)) return false;
  const uint64_t SIG = static_cast<uint64_t>(C[0] - '0') * 10000000000000000ULL + uint64_t{HI} * 100000000ULL + LO;
  const int EXP = (C[19] == '-' ? -1 : 1) * ((C[20] - '0') * 10 + (C[21] - '0'));
  // Trailing zeros of the 17 digits (the first is not zero).
  int TZ = 0;
  for (uint64_t Q = SIG; Q % 10 == 0; Q /= 10) ++TZ;
  const int E = EXP - 16, E10 = E + TZ;
  if (E < -MAXEXACTPOW || E10 > MAXEXACTPOW || E10 < -MAXEXACTPOW) return false;
  const TEXTENDED V = SCALED(SIG, E);
  VALUE = NEG ? -V : V;
  if (DIGITS != nullptr) {
    // 17 digits, so the text is the field's own, with a small e and the
    // sign of the exponent's value.
    std::memcpy(DIGITS, C, 22);
    DIGITS[18] = 'e';
    DIGITS[19] = EXP < 0 ? '-' : '+';
    *DIGITSLEN = 22;
  }
  return true;
}

}  // namespace

bool READREAL(std::string_view FIELD, TEXTENDED& VALUE, char* DIGITS, int* DIGITSLEN) {
  if (DIGITSLEN != nullptr) *DIGITSLEN = 0;
  return READREALSCIENTIFIC(FIELD, VALUE, DIGITS, DIGITSLEN) || READREALUSUAL(FIELD, VALUE, DIGITS, DIGITSLEN) ||
         READREALGENERAL(FIELD, VALUE, DIGITS, DIGITSLEN);
}

bool READINT(std::string_view F, long long& VALUE) {
  size_t I = 0;
  bool NEG = false;
  if (I < F.size() && (F[I] == '+' || F[I] == '-')) NEG = F[I++] == '-';
  if (I == F.size()) return false;
  constexpr long long CAP = 1LL << 62;
  long long X = 0;
  for (; I < F.size(); ++I) {
    if (!ISDIGIT(F[I])) return false;
    const int D = F[I] - '0';
    X = X <= (CAP - D) / 10 ? X * 10 + D : CAP;
  }
  VALUE = NEG ? -X : X;
  return true;
}
