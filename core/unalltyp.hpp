// unalltyp: the types of the series code. Scalar kinds: byte = uint8_t,
// shortint = int8_t, longint = int32_t, extended = long double (x87 80-bit:
// sign, 15-bit exponent, 64-bit significand with explicit leading bit).
#pragma once

#include <cfloat>
#include <cstdint>
#include <string>

#include "unchkarr.hpp"

static_assert(LDBL_MANT_DIG == 64,
              "long double must be the x87 80-bit extended type");

using TEXTENDED = long double;

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

// One value per planet.
using TKELONE = TARRAY<TEXTENDED, 1, MAXIPA, "planet">;
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
