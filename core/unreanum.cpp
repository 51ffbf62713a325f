// unreanum: READREAL, the reading of a real number field, with the fast
// forms that take one pass over the field: the series files' own form
// (READREALSCIENTIFIC) and the usual short field (READREALUSUAL); any
// other field goes to the general reading (unreagen). See unreanum.hpp.
#include "unreanum.hpp"

#include <bit>
#include <cstdint>
#include <cstring>

#include "unreapow.hpp"

namespace {

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
  const int E10 = E + (NDIG - 1 - LASTPOS);  // of the significant digits, >= E
  if (E < -MAXEXACTPOW || E10 > MAXEXACTPOW) return false;
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
// digit. The characters are the bytes of one 64-bit word, P[0] the lowest
// byte (little-endian), each step working on all bytes at once; no step
// carries from one byte into the next.
static_assert(std::endian::native == std::endian::little);
bool EIGHTDIGITS(const char* P, uint32_t& V) {
  constexpr uint64_t ZEROS = 0x3030303030303030ULL;  // '0' in every byte
  constexpr uint64_t HIGHS = 0xF0F0F0F0F0F0F0F0ULL;  // the high half of every byte
  constexpr uint64_t SIXES = 0x0606060606060606ULL;  // 6 in every byte
  uint64_t W;
  std::memcpy(&W, P, 8);
  // A digit is 0x30..0x39: its high half is 3, and stays 3 when 6 is
  // added (0x3A..0x3F become 0x40..0x45; no byte exceeds 0xFF).
  if ((W & HIGHS) != ZEROS || ((W + SIXES) & HIGHS) != ZEROS) return false;
  const uint64_t D = W - ZEROS;  // byte K: digit K (no borrow: every byte >= '0')
  // Byte K of X: 10 * digit K + digit K+1 (at most 99), so bytes 0, 2, 4
  // and 6 hold the two-digit numbers N01, N23, N45, N67 of the field.
  uint64_t X = (D * 10) + (D >> 8);
  // Bytes 0 and 4 (N01, N45) times 100 + 10^6 * 2^32 give N01 * 10^6 +
  // N45 * 100 in the high half; bytes 2 and 6 (N23, N67) times 1 + 10^4
  // * 2^32 give N23 * 10^4 + N67 there. The low halves, N01 * 100 and
  // N23, add up to at most 9999 and carry nothing into the high half,
  // which is then the value of the eight digits, at most 99999999.
  constexpr uint64_t BYTES04 = 0x000000FF000000FFULL;
  constexpr uint64_t BY100AND1E6 = (uint64_t{1000000} << 32) | 100;  // 0x000F424000000064
  constexpr uint64_t BY1AND1E4 = (uint64_t{10000} << 32) | 1;        // 0x0000271000000001
  X = (((X & BYTES04) * BY100AND1E6) + (((X >> 16) & BYTES04) * BY1AND1E4)) >> 32;
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
  const int E = EXP - 16, E10 = E + TZ;  // E10 >= E
  if (E < -MAXEXACTPOW || E10 > MAXEXACTPOW) return false;
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
