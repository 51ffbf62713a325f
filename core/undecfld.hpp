// undecfld: what every reading of a decimal number field shares (unreanum
// and unreagen for the build's extended type, unsoftdec and unsoftbig for
// the software type): the digit test, the value of a run of digits
// saturated at a cap, and what fits a 64-bit word: the largest power of
// five (and so the largest power of ten exact in extended precision) and
// the longest run of digits. Takes characters, gives integers; calls
// nothing of the project.
//
// The bounds here are derived by tools/softbounds.py (run it to see the
// arithmetic; `--check core` compares it with the constants).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

constexpr bool ISDIGIT(char C) { return C >= '0' && C <= '9'; }

// The cap of DIGITSVALUE, 2^62. The digits' value X never passes it:
// X <= (DIGITSCAP - D) / 10 gives X * 10 + D <= DIGITSCAP < 2^63. An
// exponent read so enters the field's scale EXP + OFFSET, where the offset
// of the point from the first (or last) significant digit is at most the
// field's length L in magnitude: that sum stays within a long long while
// L < 2^62, and a saturated exponent still puts the number beyond either
// end of the range (the decades 4932 and -4951, see unsoftdec), and so
// beyond the exact powers of ten, while L < 2^62 - 4953. Every field does:
// no 64-bit machine addresses 2^62 bytes (x86-64 and aarch64 at most 2^57).
inline constexpr long long DIGITSCAP = 1LL << 62;

// The value of the digits of F from I on, saturated at DIGITSCAP; I moves
// past them.
constexpr long long DIGITSVALUE(std::string_view F, size_t& I) {
  long long X = 0;
  for (; I < F.size() && ISDIGIT(F[I]); ++I) {
    const int D = F[I] - '0';
    X = X <= (DIGITSCAP - D) / 10 ? X * 10 + D : DIGITSCAP;
  }
  return X;
}

// B^K in a 64-bit word (for the powers that fit one).
constexpr uint64_t POWWORD(uint64_t B, int K) {
  uint64_t P = 1;
  for (int I = 0; I < K; ++I) P *= B;
  return P;
}

// 5^K fits a word for K <= MAXEXACTPOW: 5^27 = 7450580596923828125 < 2^64
// < 5^28. So 10^K = 5^K * 2^K, a 64-bit significand times a power of two,
// is exact in extended precision for K up to it.
inline constexpr int MAXEXACTPOW = 27;
static_assert(POWWORD(5, MAXEXACTPOW) == 7450580596923828125ULL && POWWORD(5, MAXEXACTPOW) > ~uint64_t{0} / 5);

// Any WORDDIGITS digits make a number below 2^64: 10^19 - 1 < 2^64 < 10^20.
inline constexpr int WORDDIGITS = 19;
static_assert(POWWORD(10, WORDDIGITS) == 10000000000000000000ULL && POWWORD(10, WORDDIGITS) > ~uint64_t{0} / 10);
