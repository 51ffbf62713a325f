// unsercac: the series files as the pipeline keeps them. Each file is
// parsed once per run, ahead of need by two background threads, and kept
// for every pair: per row the amplitude, the packed exponents and
// multipliers, what the amplitude test and the row output look at first
// (TFAST), the text of the row line from column 10 to 83, and the line of
// the term in its file. A failure met while parsing ahead is kept with
// its file and raised when the pipeline asks for that file, where a run
// that reads each file when it needs it would meet it; nothing else of a
// parse ahead is visible.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "unalltyp.hpp"
#include "unbigmem.hpp"
#include "unvarpow.hpp"

inline constexpr int NUMSERIES = 27;  // series files puf01..puf27

// Everything of a row but its amplitude, packed in 16 bytes: exponents,
// multipliers, code, and the order (not yet tested against the shortint
// range).
struct TPACK {
  TDIMSEL MEC;
  TDIMARG MAR;
  char FCS;
  int8_t SPARE;
  int16_t ORDER;
};
static_assert(sizeof(TPACK) == 16);

// What the amplitude test and the selection need of a row, in 16 bytes:
// KEY orders |AMP| (see AMPKEY), ROW is the place of the row in its file
// (0-based), CLASS names the row's exponents MEC[5], MEC[6] and order (see
// GATECLASS), MARS holds MAR[1] and MAR[4], which name the period (see
// MARSOF).
struct TFAST {
  uint32_t KEY;
  int32_t ROW;
  uint16_t CLASS;
  uint16_t MARS;
  uint8_t SPARE[4];
};
static_assert(sizeof(TFAST) == 16);

// MAR[1] and MAR[4] as one number: the bytes of MAR[1] and MAR[4].
inline uint16_t MARSOF(int8_t MAR1, int8_t MAR4) {
  return static_cast<uint16_t>((static_cast<uint8_t>(MAR1) << 8) | static_cast<uint8_t>(MAR4));
}
inline int8_t MAR1OF(uint16_t MARS) { return static_cast<int8_t>(MARS >> 8); }
inline int8_t MAR4OF(uint16_t MARS) { return static_cast<int8_t>(MARS & 0xFF); }

// The flags of a row's text (TTAIL): the sign of AMP, and whether the code
// is S.
inline constexpr uint8_t AMPNEG = 1;
inline constexpr uint8_t CODESINE = 2;

// The biased exponent and the significand of |X|: ordered as a pair, they
// order the non-negative extended values.
struct TMAGNITUDE {
  uint64_t MANT;
  unsigned EXP;
};
inline TMAGNITUDE MAGNITUDEOF(TEXTENDED X) {
  TMAGNITUDE M;
  uint16_t SE;
  std::memcpy(&M.MANT, &X, 8);
  std::memcpy(&SE, reinterpret_cast<const char*>(&X) + 8, 2);
  M.EXP = SE & 0x7FFFu;
  return M;
}

// The biased exponent and the top 17 bits of the significand of |X|: for
// non-negative extended values X < Y, AMPKEY(X) <= AMPKEY(Y); equal keys
// leave the order to the full exponent and significand.
inline uint32_t AMPKEY(TEXTENDED X) {
  const TMAGNITUDE M = MAGNITUDEOF(X);
  return (static_cast<uint32_t>(M.EXP) << 17) | static_cast<uint32_t>(M.MANT >> 47);
}

// Gate classes: one per (MEC[5], MEC[6], halving power) with both
// exponents within the axis tables and the power 1..MAXHALF (0: none).
inline constexpr int AXISSPAN = 2 * MAXAXIEXP + 1;
inline constexpr int GATECLASSES = AXISSPAN * AXISSPAN * (MAXHALF + 1);
inline constexpr uint16_t NOCLASS = 0xFFFF;
static_assert(GATECLASSES <= NOCLASS);

inline int CLASSINDEX(int MEC5, int MEC6, int H) {
  return ((MEC5 + MAXAXIEXP) * AXISSPAN + (MEC6 + MAXAXIEXP)) * (MAXHALF + 1) + H;
}

// The exponents and power of class C, as CLASSINDEX took them.
struct TCLASSPARTS {
  int MEC5, MEC6, H;
};
inline TCLASSPARTS CLASSPARTS(int C) {
  return {C / ((MAXHALF + 1) * AXISSPAN) - MAXAXIEXP, C / (MAXHALF + 1) % AXISSPAN - MAXAXIEXP, C % (MAXHALF + 1)};
}

// The class of a row with these exponents and order sum, whose power is
// the order when it lies in 1..MAXHALF; NOCLASS when an exponent lies
// outside the tables or the order outside the shortint range, rows that
// take the test's own range checks.
inline uint16_t GATECLASS(int MEC5, int MEC6, long ORDER) {
  if (MEC5 < -MAXAXIEXP || MEC5 > MAXAXIEXP || MEC6 < -MAXAXIEXP || MEC6 > MAXAXIEXP || ORDER < -128 ||
      ORDER > 127)
    return NOCLASS;
  return static_cast<uint16_t>(CLASSINDEX(MEC5, MEC6, ORDER >= 1 && ORDER <= MAXHALF ? static_cast<int>(ORDER) : 0));
}

// What a row line needs of its row: the text from column 10 on (the
// magnitude part of the amplitude text, see AMPDIGITS, at most 24
// characters; the six exponents and the six multipliers, each in four
// characters, with a blank before each group and two after them), its
// length, and the sign of AMP and the code (FLAGS: AMPNEG, CODESINE). The
// planets, the sign (column 9) and the code come from the term as the
// pipeline made it.
struct TTAIL {
  char C[78];
  uint8_t LEN;
  uint8_t FLAGS;
};
static_assert(sizeof(TTAIL) == 80);

// A view of COUNT rows of one kind inside a TROWSTORE.
template <typename T>
class TROWSPAN {
 public:
  T& operator[](size_t I) { return P[I]; }
  const T& operator[](size_t I) const { return P[I]; }
  T* data() { return P; }
  const T* data() const { return P; }
  size_t size() const { return N; }

 private:
  friend class TROWSTORE;
  T* P = nullptr;
  size_t N = 0;
};

// The rows of one series file, every kind in one block of large pages.
class TROWSTORE {
 public:
  // Storage for COUNT rows of every kind; false when it cannot be had.
  bool OBTAIN(size_t COUNT) noexcept;
  // The bytes OBTAIN asks for, for COUNT rows.
  static size_t BYTESFOR(size_t COUNT);

  TROWSPAN<TTAIL> TAILS;
  TROWSPAN<TEXTENDED> AMPS;
  TROWSPAN<TPACK> PACKS;
  TROWSPAN<TFAST> FAST;
  TROWSPAN<int32_t> LINES;  // line of each term in the file

 private:
  TBIGBLOCK BLOCK;
};

struct TSERIESFILE {
  bool LOADED = false;
  int32_t COUNT = 0;
  TROWSTORE ROWS;
  // The test records of the rows of order at most ORDERBOUND, when the
  // order filter has run: ORDERKEPT of them in ORDERBLOCK.
  int ORDERBOUND = -1000;
  size_t ORDERKEPT = 0;
  TBIGBLOCK ORDERBLOCK;
  TFAST* ORDERFAST() const { return reinterpret_cast<TFAST*>(ORDERBLOCK.DATA()); }
  // The gate classes and the MARS that the rows going on use, each once:
  // for all rows (CANDBOUND INT_MAX) or those of the order filter.
  int CANDBOUND = -1000;
  std::vector<uint16_t> CLASSES, MARSUSED;
};

// "puf" + two-digit N + ".txt".
std::string SERIESNAME(int N);

// Starts parsing the files ahead of need, if that has not started yet.
void PARSEAHEAD();
// File N (1..27), parsed; raises the failure of its parse, if any.
TSERIESFILE& LOADEDSERIES(int N);
// File N as far as it is known (for reports): its lines once parsed.
const TSERIESFILE& SERIESFILE(int N);
// Forgets every file, after the background parsing has stopped.
void RESETSERIES();
