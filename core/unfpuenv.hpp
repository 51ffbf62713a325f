// unfpuenv: the floating-point environment the arithmetic relies on, and
// its check at start-up.
//
// Every real is an extended value computed by the x87 unit, and the
// results are the ones the programs promise only when its control word
// holds:
//   - precision control 64 bits: the decimal reading scales an exact
//     significand by an exact power of ten in one operation (SCALED), which
//     gives the nearest extended value only when it rounds to 64 bits; at
//     53 or 24 bits it, and every product and sum of the factors and of the
//     amplitude test, would keep fewer bits;
//   - rounding to nearest: the same operation, the C library's conversion
//     of the other fields and every product of the amplitude test round to
//     nearest, ties to even;
//   - every exception masked: inexact results, subnormals and the
//     overflow of the gates' bisection at the top of the range are
//     ordinary values, not traps.
// The SSE unit's MXCSR takes no part: no value is float or double, and the
// vector code of the reader is integer only.
//
// With the software extended type (unalltyp) every operation rounds in
// integer arithmetic, to nearest at 64 bits, whatever the processor's
// mode: there is nothing to check, and CHECKFPU does nothing.
#pragma once

#include <cstdint>
#include <string>

// The fields of the x87 control word: the exception masks in bits 0..5
// (1: masked), precision control in bits 8..9 (0: 24 bits, 2: 53 bits,
// 3: 64 bits), rounding control in bits 10..11 (0: to nearest, 1: down,
// 2: up, 3: toward zero).
inline constexpr uint16_t FPUMASKS = 0x003F;
inline constexpr uint16_t FPUPRECISION = 0x0300;
inline constexpr uint16_t FPUROUNDING = 0x0C00;
// What the arithmetic needs in those fields: all masked, 64 bits, to
// nearest (a process starts with 0x037F, which holds it).
inline constexpr uint16_t FPUNEEDED = FPUMASKS | FPUPRECISION;

#if !PAIRTERMS_SOFT_EXTENDED

// The control word of this thread.
uint16_t FPUCONTROL();

// What is wrong with control word CW, as the report says it; empty when
// it holds what the arithmetic needs (bits outside the three fields
// aside).
std::string FPUFAULT(uint16_t CW);

#endif

// The check at start-up: the floating-point mode error when the control
// word of this thread is not sound. Threads started later inherit it.
void CHECKFPU();
