// unsercac: the series files as the pipeline keeps them. Each file is
// parsed once per run, ahead of need by two background threads, and kept
// for every pair: per row the amplitude, the other fields of the row with
// the digits of its row text (see unfuline), the test record (what the
// amplitude test and the row output look at first) and the line of the
// term in its file. A parse ahead that fails, or finds no descriptor or
// storage, is dropped: when the pipeline asks for that file, it is parsed
// again there, and a failure is raised where a run that reads each file
// when it needs it would meet it. When the program itself runs short of
// descriptors, storage or a thread, the parsing ahead stops for the rest of
// the run and gives back the files the pipeline has not asked for yet (see
// unahead), so that it holds what such a run would hold. Nothing else of a
// parse ahead is visible. The release is a call back from unahead into
// this unit (PARSEAHEAD sets it): it joins the threads, so that any
// attempt of the main thread to get storage, a descriptor or a thread
// that fails may join them.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "unalltyp.hpp"
#include "unbigmem.hpp"
#include "unfuline.hpp"
#include "unserdir.hpp"

// The test record of a row, what the amplitude test and the selection need
// of it, in 16 bytes: KEY orders |AMP| (see AMPKEY), ROW is the place of
// the row in its file (0-based), CLASS names the row's exponents MEC[5],
// MEC[6] and order (see GATECLASS), MARS holds MAR[1] and MAR[4], which
// name the period (see MARSOF).
struct TTESTREC {
  uint32_t KEY;
  int32_t ROW;
  uint32_t CLASS;
  uint16_t MARS;
  uint8_t SPARE[2];
};
static_assert(sizeof(TTESTREC) == 16);

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

  TROWSPAN<TEXTENDED> AMPS;
  TROWSPAN<TROWFIELDS> FIELDS;
  TROWSPAN<TTESTREC> TESTRECS;
  TROWSPAN<int64_t> LINES;  // line of each term in the file

 private:
  TBIGBLOCK BLOCK;
};

// See TSERIESFILE::USED.
struct TUSEDSET {
  int BOUND;
  std::vector<uint32_t> CLASSES;
  std::vector<uint16_t> MARSUSED;
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
  TTESTREC* ORDERKEPTRECS() const { return reinterpret_cast<TTESTREC*>(ORDERBLOCK.DATA()); }
  // The gate classes and the MARS that the rows going on use, for each
  // order bound a run filters with (INT_MAX: no order filter).
  std::deque<TUSEDSET> USED;  // a deque: what USEDBY gives stays in place
};

// The gate classes and the MARS of the rows of a file that go on with an
// order filter (BOUND), each once.
const TUSEDSET& USEDBY(TSERIESFILE& S, int BOUND, const TTESTREC* RECS, size_t NRECS);

// The halving powers the gate classes of the rows tell apart: one more
// than the highest order bound of the runs of the process (see
// GATECLASS); set before the files are parsed.
void SETCLASSSLOTS(int SLOTS);
int CLASSSLOTS();

// Starts parsing the files ahead of need, if that has not started yet.
void PARSEAHEAD();
// File N (1..27), parsed; raises the failure of its parse, if any.
TSERIESFILE& LOADEDSERIES(int N);
// File N as far as it is known (for reports): its lines once parsed.
const TSERIESFILE& SERIESFILE(int N);
// Forgets every file, after the background parsing has stopped.
void RESETSERIES();
