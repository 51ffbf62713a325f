// unallcon: named constants. Real constants are extended: each decimal
// literal stands for the extended value nearest to it.
#pragma once

#include "unalltyp.hpp"

inline constexpr TEXTENDED GAUSSK = 0.01720209895_EXT; // Gaussian constant, rad/day
// k squared, AU^3 / day^2 / solar mass: the extended product, not the
// rounded decimal 2.9591220828559110E-4.
inline constexpr TEXTENDED SQRGAUK = GAUSSK * GAUSSK;
inline constexpr TEXTENDED JULIANC = 36525.0_EXT;      // days per Julian century
inline constexpr TEXTENDED PERIOM = 200.0_EXT;  // period limit, Julian years (the default period cut)

// Pi as the extended value nearest to it; two pi is twice that value
// (not TWOPI, whose decimal is shorter).
inline constexpr TEXTENDED PIEXT = 3.14159265358979323846264338327950288_EXT;
inline constexpr TEXTENDED TWOPIEXT = 2.0_EXT * PIEXT;

// Kept for their names, part of the vocabulary the series code shares; no
// program uses them.
inline constexpr TEXTENDED JD2000 = 2451545.0_EXT;     // Julian date of J2000.0
inline constexpr TEXTENDED DIFEPOCH = 2400000.5_EXT;   // JD minus MJD
inline constexpr TEXTENDED CAVENDIC = 6.672E-20_EXT;
inline constexpr TEXTENDED ASTRUNIT = 149597870.691_EXT;  // km
inline constexpr TEXTENDED VELLIGHT = 299792.458_EXT;     // km/s
inline constexpr TEXTENDED GEOFM = 398600.448_EXT;
inline constexpr TEXTENDED GEOR0 = 6378.14_EXT;           // km
inline constexpr TEXTENDED PARMA = 3.3528131778969144E-3_EXT;
inline constexpr TEXTENDED VELOFROT = 7.292115E-5_EXT;    // rad/s
inline constexpr TEXTENDED RADGRA = 57.295779513082321_EXT;
inline constexpr TEXTENDED GRARAD = 1.7453292519943296E-2_EXT;
inline constexpr TEXTENDED SECRAD = 4.8481368110953599E-6_EXT;
inline constexpr TEXTENDED RADSEC = 206264.80624709636_EXT;
inline constexpr TEXTENDED PI22 = 6.2831853071795865_EXT;
inline constexpr TEXTENDED TWOPI = 6.2831853071795865_EXT;
inline constexpr TEXTENDED HALFPI = 1.5707963267948966_EXT;
inline constexpr long MAXSHO = 697979;
inline constexpr long MAXSEC = 123971;
inline constexpr TEXTENDED FULSTP = 100.0_EXT;
inline constexpr int MAXVAO = 6;
inline constexpr int MAXVAU = 49;
