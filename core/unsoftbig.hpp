// unsoftbig: unsigned integers of any size, for the exact decimal
// conversions of the software extended type (unsoftdec); the second of its
// three layers. It takes and gives whole numbers (TBIGNUM, and 128-bit
// words); of the first layer (unsoftext) it uses the word type U128 alone,
// of undecfld the powers of five that fit a word.
// All of it is constexpr, so that decimal constants are read at compile
// time.
//
// A TBIGNUM holds limbs of 32 bits, least significant first, no zero limb
// at the top (zero has none). Each bound a function states is derived
// beside it; tools/softbounds.py prints the arithmetic of the larger ones.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "undecfld.hpp"
#include "unsoftext.hpp"

namespace SOFTEXTIMPL {

struct TBIGNUM {
  std::vector<uint32_t> L;

  constexpr bool ISZERO() const { return L.empty(); }
  // *this = *this * F + A. The carry stays below 2^96 + 2^64: a limb times
  // F is at most (2^32 - 1)(2^64 - 1), so C fits 128 bits.
  constexpr void MULADD(uint64_t F, uint64_t A) {
    U128 C = A;
    for (uint32_t& X : L) {
      C += U128{X} * F;
      X = static_cast<uint32_t>(C);
      C >>= 32;
    }
    for (; C != 0; C >>= 32) L.push_back(static_cast<uint32_t>(C));
  }
  // *this *= 5^K, by the largest power of five in a word, 5^MAXEXACTPOW.
  constexpr void MULPOW5(long long K) {
    constexpr uint64_t STEP = POWWORD(5, MAXEXACTPOW);
    for (; K >= MAXEXACTPOW; K -= MAXEXACTPOW) MULADD(STEP, 0);
    MULADD(POWWORD(5, static_cast<int>(K)), 0);
  }
  constexpr void SHIFTLEFT(long long N) {
    if (ISZERO() || N == 0) return;
    const size_t W = static_cast<size_t>(N / 32);
    const int B = static_cast<int>(N % 32);
    if (B != 0) {
      uint32_t C = 0;
      for (uint32_t& X : L) {
        const uint32_t T = X >> (32 - B);
        X = (X << B) | C;
        C = T;
      }
      if (C != 0) L.push_back(C);
    }
    L.insert(L.begin(), W, 0);
  }
  // Shifts right by N bits; true when a bit shifted out was set. Only the
  // top limb can become zero: the one below it takes the top's low bits.
  constexpr bool SHIFTRIGHT(long long N) {
    const size_t W = static_cast<size_t>(N / 32);
    const int B = static_cast<int>(N % 32);
    if (W >= L.size()) {
      const bool LOST = !L.empty();
      L.clear();
      return LOST;
    }
    bool LOST = false;
    for (size_t I = 0; I < W; ++I) LOST |= L[I] != 0;
    L.erase(L.begin(), L.begin() + static_cast<std::ptrdiff_t>(W));
    if (B != 0) {
      LOST |= (L[0] << (32 - B)) != 0;
      for (size_t I = 0; I < L.size(); ++I)
        L[I] = (L[I] >> B) | (I + 1 < L.size() ? L[I + 1] << (32 - B) : 0);
    }
    if (L.back() == 0) L.pop_back();
    return LOST;
  }
  constexpr long long BITS() const {
    return L.empty() ? 0 : 32 * static_cast<long long>(L.size()) - std::countl_zero(L.back());
  }
  // Divides by D, returns the remainder. R < D < 2^32, so R * 2^32 plus a
  // limb fits 64 bits.
  constexpr uint32_t DIVSMALL(uint32_t D) {
    uint64_t R = 0;
    for (size_t I = L.size(); I-- > 0;) {
      const uint64_t T = (R << 32) | L[I];
      L[I] = static_cast<uint32_t>(T / D);
      R = T % D;
    }
    while (!L.empty() && L.back() == 0) L.pop_back();
    return static_cast<uint32_t>(R);
  }
};

constexpr int BIGCOMPARE(const TBIGNUM& A, const TBIGNUM& B) {
  if (A.L.size() != B.L.size()) return A.L.size() < B.L.size() ? -1 : 1;
  for (size_t I = A.L.size(); I-- > 0;)
    if (A.L[I] != B.L[I]) return A.L[I] < B.L[I] ? -1 : 1;
  return 0;
}

// A -= B, for A >= B.
constexpr void BIGSUBTRACT(TBIGNUM& A, const TBIGNUM& B) {
  int64_t BORROW = 0;
  for (size_t I = 0; I < A.L.size(); ++I) {
    int64_t T = int64_t{A.L[I]} - (I < B.L.size() ? int64_t{B.L[I]} : 0) - BORROW;
    BORROW = T < 0;
    A.L[I] = static_cast<uint32_t>(T + (BORROW << 32));
  }
  while (!A.L.empty() && A.L.back() == 0) A.L.pop_back();
}

// B * Q, Q below 2^96: a limb times Q is at most (2^32 - 1)(2^96 - 1), the
// carry below 2^96, their sum below 2^128.
constexpr TBIGNUM BIGTIMES(const TBIGNUM& B, U128 Q) {
  TBIGNUM R;
  U128 C = 0;
  for (uint32_t X : B.L) {
    C += U128{X} * Q;
    R.L.push_back(static_cast<uint32_t>(C));
    C >>= 32;
  }
  for (; C != 0; C >>= 32) R.L.push_back(static_cast<uint32_t>(C));
  while (!R.L.empty() && R.L.back() == 0) R.L.pop_back();
  return R;
}

// X >> U, known to lie below 2^128: its bits U .. U + 127 lie in the
// SHIFTEDLIMBS limbs from U / 32 on, as U % 32 + 128 <= 159 < 5 * 32.
inline constexpr size_t SHIFTEDLIMBS = 5;
constexpr U128 BIGSHIFTEDDOWN(const TBIGNUM& X, long long U) {
  const size_t W = static_cast<size_t>(U / 32);
  const int B = static_cast<int>(U % 32);
  U128 R = 0;
  for (size_t J = 0; J < SHIFTEDLIMBS && W + J < X.L.size(); ++J) {
    const int S = 32 * static_cast<int>(J) - B;
    if (S < 0)
      R |= X.L[W] >> B;
    else if (S < 128)
      R |= U128{X.L[W + J]} << S;
  }
  return R;
}

// floor(A / B) for a quotient q below 2^QUOTIENTBITS; A keeps the rest.
// Each round takes away QE = floor((A >> U) / BT), where BT = (B >> U) + 1
// is made of B's top DIVISORBITS bits plus one, or is B itself (U = 0)
// when B has no more bits. QE is never above q, and with BT > 2^59
//   q - QE < q / BT + 1 / BT + 1
// (from QE > ((A >> U) - 1) / BT - 1 and BT - (B / 2^U) <= 1): the first
// round leaves a quotient below 2^68 / 2^59 + 2 = 514, the second below 2,
// and a third round or the closing subtraction ends it. When BT is B, the
// first round takes q whole. The words hold: A < 2^68 * B < 2^(128 + U),
// so A >> U is below 2^128; QE < 2^68 is below BIGTIMES's 2^96.
inline constexpr int QUOTIENTBITS = 68;
inline constexpr int DIVISORBITS = 60;
static_assert(QUOTIENTBITS + DIVISORBITS <= 128 && QUOTIENTBITS <= 96);
constexpr U128 BIGDIVIDE(TBIGNUM& A, const TBIGNUM& B) {
  const long long LB = B.BITS();
  const long long U = LB > DIVISORBITS ? LB - DIVISORBITS : 0;
  const U128 BT = BIGSHIFTEDDOWN(B, U) + (U > 0 ? 1 : 0);
  U128 Q = 0;
  for (;;) {
    const U128 QE = BIGSHIFTEDDOWN(A, U) / BT;
    if (QE == 0) break;
    BIGSUBTRACT(A, BIGTIMES(B, QE));
    Q += QE;
  }
  for (; BIGCOMPARE(A, B) >= 0; ++Q) BIGSUBTRACT(A, B);
  return Q;
}

}  // namespace SOFTEXTIMPL
