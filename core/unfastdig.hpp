// unfastdig: the magnitude text of the amplitude, fast.
//
// FASTAMPDIGITS(X, OUT) takes an extended value X and writes into OUT
// (room for 32 characters, no terminating zero) exactly the bytes that
// AMPDIGITS(EXTABS(X), OUT) writes: "d.dddddddddddddddde+XX", 17
// significant digits of |X| correctly rounded from its exact binary value,
// ties to even, the exponent with at least two digits and all of them
// beyond -99..99. It returns the length (22, 23 or 24 for finite X).
//
// The way: from the bits of X (64-bit significand with explicit leading
// bit, 15-bit exponent; the same for the x87 long double and the software
// type), |X| is multiplied by a power of ten held to 128 bits, so that the
// 17 digits and the rounding decision come out of two wide products with a
// known error bound. A value whose rest lies within that bound of a
// rounding boundary (a tie or a near-tie) goes the exact way, AMPDIGITS;
// so do zero, subnormals, infinities, NaNs and the bit patterns arithmetic
// never yields.
#pragma once

#include <cstdint>

#include "unalltyp.hpp"

int FASTAMPDIGITS(TEXTENDED X, char* OUT);

// The fast way alone: what FASTAMPDIGITS writes, with its length, or 0
// (and nothing written) where it leaves X to the exact way.
int FASTAMPTRY(TEXTENDED X, char* OUT);

// An entry of the power table: POWHI * 2^64 + POWLO = floor(10^(28 J) *
// 2^-POWSHIFT), in [2^127, 2^128), for J in FASTPOWFIRST..FASTPOWLAST.
struct TFASTPOW {
  uint64_t POWHI, POWLO;
  int32_t POWSHIFT;
};
inline constexpr int FASTPOWSTEP = 28;
inline constexpr int FASTPOWFIRST = -176;
inline constexpr int FASTPOWLAST = 176;
TFASTPOW FASTPOWER(int J);
