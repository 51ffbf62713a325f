// unchkarr: arrays with declared index bounds, as the series code declares
// them (array[LO..HI] of T). Every index is tested against the bounds; an
// index outside them ends the program with the range error, naming the
// array, the index and the allowed range.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "unfatal.hpp"

// A string literal usable as a template argument: the name of an array
// in range-error reports.
template <std::size_t LEN>
struct TNAME {
  char TEXT[LEN]{};
  constexpr TNAME(const char (&S)[LEN]) { std::copy_n(S, LEN, TEXT); }
};

template <typename T, long LO, long HI, TNAME NAME>
class TARRAY {
  static_assert(LO <= HI, "empty index range");

 public:
  using TELEM = T;
  static constexpr long FIRST = LO;
  static constexpr long LAST = HI;
  static constexpr long LENGTH = HI - LO + 1;

  T& operator[](long I) {
    CHECKINDEX(I);
    return V[I - LO];
  }
  const T& operator[](long I) const {
    CHECKINDEX(I);
    return V[I - LO];
  }

  // The test of an index without the access: where a fast path must fail
  // at the index the plain path would use, it names that index here and
  // gets the same report.
  static void CHECKINDEX(long I) {
    if (I < LO || I > HI) [[unlikely]]
      RANGEERROR(NAME.TEXT, I, LO, HI);
  }

  // Unchecked access to the storage, for whole-block copies whose bounds
  // the caller has already tested.
  T* DATA() { return V; }
  const T* DATA() const { return V; }

 private:
  T V[LENGTH];
};

// Stores into the 8-bit fields of a term: the value must lie in the
// field's range, else the range error.
inline int8_t TOSHORTINT(long long V, const char* WHAT) {
  if (V < -128 || V > 127) [[unlikely]]
    RANGEERROR(WHAT, V, -128, 127);
  return static_cast<int8_t>(V);
}

// Addition to a 32-bit signed count, with the overflow check.
inline int32_t ADDCOUNT(int32_t A, long long B, const char* WHAT) {
  long long S = static_cast<long long>(A) + B;
  if (S < INT32_MIN || S > INT32_MAX) [[unlikely]]
    OVERFLOWERROR(WHAT, A, B);
  return static_cast<int32_t>(S);
}
