// unforstr: number-to-text helpers, and the texts of reports.
//
// BYTETOFIXSTR(W, N): W in decimal with leading zeros up to N digits
//   (7, 2 -> "07"; 123, 2 -> "123"; nothing is cut).
// FLOATWITHPOWER(E, N): the amplitude text, N - 2 characters for N >= 10:
//   for N = 26, a blank, "-" when the sign bit of E is set (negative zero
//   included) else a blank, 17 significant digits as d.dddddddddddddddd,
//   "e", the exponent's sign and its two digits ("e-01"). The digits are
//   correctly rounded from the exact binary value, ties to even. An
//   exponent outside -99..99 is written with all of its digits (the text
//   grows).
// SHOWCHAR(C): a character (0..255) as a report shows it: printable, the
//   character in quotes with its code ("'X' (88)"); else its code alone
//   ("character 9").
// SHOWTEXT(S): a text from outside (a name, an option, file contents) as a
//   report line may hold it: the control characters (0..31, 127) and the
//   backslash escaped, as \n, \t, \r, \\ and \xNN (two upper-case hex
//   digits) for the others; every other byte, 128..255 included, as it is.
//   The text can then neither end the line nor steer a terminal.
// FIXEDTEXT(E, W): E in fixed point with 2 decimals, correctly rounded,
//   right-aligned in W characters, written in full when wider; a negative
//   value that rounds to zero keeps its sign ("-0.00").
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "unalltyp.hpp"

std::string BYTETOFIXSTR(uint8_t W, uint8_t N);
std::string FLOATWITHPOWER(TEXTENDED E, uint8_t N);
std::string FIXEDTEXT(TEXTENDED E, int W);
std::string SHOWCHAR(int C);
std::string SHOWTEXT(std::string_view S);

// The magnitude part of the 24-character amplitude text, positions 3 on:
// "d.dddddddddddddddde+XX" (22 characters, more for an exponent outside
// -99..99). Writes into OUT (room for 32 characters), returns the length.
int AMPDIGITS(TEXTENDED E, char* OUT);
