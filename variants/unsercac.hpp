// unsercac: the series files as the pipeline keeps them. Each file is
// parsed once per run, ahead of need by two background threads, and kept
// for every pair: per row the amplitude, the packed exponents and
// multipliers, the text of the row line from column 10 to 83, and the line
// of the term in its file. A failure met while parsing ahead is kept with
// its file and raised when the pipeline asks for that file, where a run
// that reads each file when it needs it would meet it; nothing else of a
// parse ahead is visible.
#pragma once

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "unalltyp.hpp"

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

// Text of a row line from column 10 to column 83: the magnitude part of
// the amplitude text (see AMPDIGITS), the six exponents and the six
// multipliers with their separators. The planets, the sign (column 9) and
// the code (column 84) come from the row as the pipeline made it.
struct TTAIL {
  char C[79];
  uint8_t LEN;
};

// Storage for the large per-row arrays: mapped and populated in one call,
// which costs far less than a page fault for every page of a million rows.
template <typename T>
struct TBIGALLOC {
  using value_type = T;
  TBIGALLOC() = default;
  template <typename U>
  TBIGALLOC(const TBIGALLOC<U>&) {}
  static constexpr size_t LARGE = size_t{1} << 16;
  // Elements are left uninitialised until written (the mapping is zero).
  template <typename U>
  void construct(U* P) noexcept {
    ::new (static_cast<void*>(P)) U;
  }
  template <typename U, typename... A>
  void construct(U* P, A&&... ARGS) {
    ::new (static_cast<void*>(P)) U(std::forward<A>(ARGS)...);
  }
  T* allocate(size_t N) {
    const size_t BYTES = N * sizeof(T);
    if (BYTES < LARGE) {
      if (void* P = std::malloc(BYTES > 0 ? BYTES : 1)) return static_cast<T*>(P);
      throw std::bad_alloc();
    }
    void* P = ::mmap(nullptr, BYTES, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    if (P == MAP_FAILED) throw std::bad_alloc();
    return static_cast<T*>(P);
  }
  void deallocate(T* P, size_t N) {
    if (N * sizeof(T) < LARGE)
      std::free(P);
    else
      ::munmap(P, N * sizeof(T));
  }
  template <typename U>
  bool operator==(const TBIGALLOC<U>&) const {
    return true;
  }
};
template <typename T>
using TBIGVEC = std::vector<T, TBIGALLOC<T>>;

struct TSERIESFILE {
  bool LOADED = false;
  int32_t COUNT = 0;
  TBIGVEC<TEXTENDED> AMPS;
  TBIGVEC<TPACK> PACKS;
  TBIGVEC<TTAIL> TAILS;
  TBIGVEC<int32_t> LINES;  // line of each term in the file
  // Rows of order at most ORDERBOUND, when the order filter has run.
  int ORDERBOUND = -1000;
  std::vector<int32_t> ORDERKEEP;
};

// "puf" + two-digit N + ".txt".
std::string SERIESNAME(int N);

// File N (1..27), parsed; raises the failure of its parse, if any.
TSERIESFILE& LOADEDSERIES(int N);
// File N as far as it is known (for reports): its lines once parsed.
const TSERIESFILE& SERIESFILE(int N);
// Forgets every file, after the background parsing has stopped.
void RESETSERIES();
