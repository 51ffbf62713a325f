// unalltyp: the types of the series code. Scalar kinds: byte = uint8_t,
// shortint = int8_t, longint = int32_t, extended = TEXTENDED (x87 80-bit:
// sign, 15-bit exponent, 64-bit significand with explicit leading bit).
//
// TEXTENDED is the x87 long double where the compiler has it, and the
// software type TSOFTEXT (unsoftext, unsoftbig, unsoftdec) elsewhere or when the build asks for
// it (PAIRTERMS_SOFT_EXTENDED): the same bits from every operation. Code
// that works on either writes its constants with the suffix _EXT
// (0.5_EXT) and calls the functions below, not those of <cmath>.
#pragma once

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <string>

#include "unchkarr.hpp"

#if PAIRTERMS_SOFT_EXTENDED

#include "unsoftdec.hpp"

using TEXTENDED = TSOFTEXT;
inline constexpr TEXTENDED EXTMAX = SOFTEXTMAX;  // largest finite value

// An extended constant, rounded once from its decimal text.
template <char... C>
consteval TEXTENDED operator""_EXT() {
  const char TEXT[] = {C...};
  return SOFTEXTOF(std::string_view(TEXT, sizeof...(C)));
}

#else

static_assert(LDBL_MANT_DIG == 64,
              "long double must be the x87 80-bit extended type");

using TEXTENDED = long double;
inline constexpr TEXTENDED EXTMAX = LDBL_MAX;

// An extended constant: the long double literal itself (0.5_EXT is 0.5L).
consteval TEXTENDED operator""_EXT(long double V) { return V; }

#endif

// The <cmath> functions the programs use, for either type: the long
// double overloads, or the software type's by argument-dependent lookup.
inline TEXTENDED EXTABS(TEXTENDED X) {
  using std::fabs;
  return fabs(X);
}
inline TEXTENDED EXTSQRT(TEXTENDED X) {
  using std::sqrt;
  return sqrt(X);
}
inline bool EXTSIGNBIT(TEXTENDED X) {
  using std::signbit;
  return signbit(X);
}
inline bool EXTISFINITE(TEXTENDED X) {
  using std::isfinite;
  return isfinite(X);
}
inline bool EXTISNAN(TEXTENDED X) {
  using std::isnan;
  return isnan(X);
}
inline bool EXTISINF(TEXTENDED X) {
  using std::isinf;
  return isinf(X);
}
inline bool EXTISNORMAL(TEXTENDED X) {
  using std::isnormal;
  return isnormal(X);
}

inline constexpr long MAXARR = 74967;  // rows per row table
inline constexpr int NUMSEL = 6;       // length of MEC
inline constexpr int MAXARG = 6;       // length of MAR
inline constexpr int MAXIPA = 8;       // number of planets

using TDIMSEL = TARRAY<int8_t, 1, NUMSEL, "exponent index">;  // MEC
using TDIMARG = TARRAY<int8_t, 1, MAXARG, "multiplier index">;  // MAR

// One term (row) of a trigonometric series, 48 bytes. TXT is not part of
// the term: it is the row's place
// (0-based) in the series file it was read from, through which the row
// finds its precomputed text and its line for reports.
struct TROWVAR {
  TEXTENDED AMP;  // amplitude
  uint8_t NPA;    // first planet, 1..8; 0 in the empty row
  uint8_t NPB;    // second planet, 1..8; 0 in the empty row
  TDIMSEL MEC;    // exponents: MEC[1..4] make the order, MEC[5], MEC[6]
                  // the axis exponents of planets NPA and NPB
  TDIMARG MAR;    // multipliers of the angular arguments
  char FCS;       // 'S' sine term, 'C' cosine term
  int32_t TXT;
};
static_assert(sizeof(TROWVAR) == 48);

using TROWDIM = TARRAY<TROWVAR, 1, MAXARR, "row">;
using TROWPTR = TROWDIM*;

// One value per planet: the per-planet tables have this shape.
using TKELONE = TARRAY<TEXTENDED, 1, MAXIPA, "planet">;

// Kept for their names, part of the vocabulary the series code shares; no
// program declares a variable of these types.
using TKELALL = TARRAY<TKELONE, 1, MAXIPA, "planet">;
using TVECT3 = TARRAY<TEXTENDED, 1, 3, "vector index">;
using TYPEDIM3 = TVECT3;
using TMATR33 = TARRAY<TVECT3, 1, 3, "matrix index">;
using TYPEDIM33 = TMATR33;
using TFUNDARG = TARRAY<TEXTENDED, 1, 5, "argument index">;
using TINTRES = TARRAY<int8_t, 1, 3, "resonance index">;
struct TKELDON {
  TVECT3 DAO;
  TVECT3 DET;
  TVECT3 DES;
};
using TKELDAN = TARRAY<TKELDON, 1, MAXIPA, "planet">;
inline constexpr int MAXVAR = 48;
using TVARALL = TARRAY<TEXTENDED, 1, MAXVAR, "variable index">;
struct TELMREC {
  std::string SNAME;  // at most 255 characters
  TEXTENDED T, AO, AU, AI, AE, AM, AN, DN, AB;
};
