// unreanum: decimal text to numbers, as the series files write them.
//
// READREAL takes a number field (optional sign, digits with an optional
// point, optional exponent E or e with optional sign) and gives the
// extended value nearest to it, ties to even. Fields of at most 19
// significant digits whose power of ten is exact in extended precision
// take one correctly rounded multiplication or division; all others go
// through the C library's correctly rounded conversion. It returns false
// for a field that is not such a number or whose value overflows the
// extended range (inf, nan and hexadecimal forms are not numbers here).
// A value below the range rounds to the nearest subnormal or zero.
//
// When DIGITS is given and the field takes the single-operation path with
// at most 17 significant digits, DIGITS receives the magnitude part of its
// amplitude text (as AMPDIGITS would print it: the same digits, padded
// with zeros) and DIGITSLEN its length; otherwise DIGITSLEN is 0 and the
// caller prints the value.
//
// READINT takes an integer field (optional sign, digits) and gives its
// value, saturated to +-READINTCAP (2^62) for longer fields; false if not
// an integer.
#pragma once

#include <string_view>

#include "unalltyp.hpp"
#include "undecfld.hpp"

bool READREAL(std::string_view FIELD, TEXTENDED& VALUE, char* DIGITS = nullptr,
              int* DIGITSLEN = nullptr);

// The same conversion and digit text without the fast forms: the shape of
// the field and its significant digits, then one operation or the exact
// path.
bool READREALGENERAL(std::string_view FIELD, TEXTENDED& VALUE, char* DIGITS, int* DIGITSLEN);

// The same conversion through the C library alone (the exact path).
bool READREALEXACT(std::string_view FIELD, TEXTENDED& VALUE);

inline constexpr long long READINTCAP = DIGITSCAP;
bool READINT(std::string_view FIELD, long long& VALUE);
