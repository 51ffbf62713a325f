// unallcon: named constants. Real constants are extended: each decimal
// literal stands for the extended value nearest to it.
#pragma once

#include "unalltyp.hpp"

inline constexpr TEXTENDED JD2000 = 2451545.0L;     // Julian date of J2000.0
inline constexpr TEXTENDED JULIANC = 36525.0L;      // days per Julian century
inline constexpr TEXTENDED DIFEPOCH = 2400000.5L;   // JD minus MJD
inline constexpr TEXTENDED GAUSSK = 0.01720209895L; // Gaussian constant, rad/day
// k squared, AU^3 / day^2 / solar mass: the extended product, not the
// rounded decimal 2.9591220828559110E-4.
inline constexpr TEXTENDED SQRGAUK = GAUSSK * GAUSSK;
inline constexpr TEXTENDED CAVENDIC = 6.672E-20L;
inline constexpr TEXTENDED ASTRUNIT = 149597870.691L;  // km
inline constexpr TEXTENDED VELLIGHT = 299792.458L;     // km/s
inline constexpr TEXTENDED GEOFM = 398600.448L;
inline constexpr TEXTENDED GEOR0 = 6378.14L;           // km
inline constexpr TEXTENDED PARMA = 3.3528131778969144E-3L;
inline constexpr TEXTENDED VELOFROT = 7.292115E-5L;    // rad/s
inline constexpr TEXTENDED RADGRA = 57.295779513082321L;
inline constexpr TEXTENDED GRARAD = 1.7453292519943296E-2L;
inline constexpr TEXTENDED SECRAD = 4.8481368110953599E-6L;
inline constexpr TEXTENDED RADSEC = 206264.80624709636L;
inline constexpr TEXTENDED PI22 = 6.2831853071795865L;
inline constexpr TEXTENDED TWOPI = 6.2831853071795865L;
inline constexpr TEXTENDED HALFPI = 1.5707963267948966L;
inline constexpr long MAXSHO = 697979;
inline constexpr long MAXSEC = 123971;
inline constexpr TEXTENDED PERIOM = 200.0L;  // period limit, Julian years
inline constexpr TEXTENDED FULSTP = 100.0L;
inline constexpr int MAXVAO = 6;
inline constexpr int MAXVAU = 49;

// Pi as the extended value nearest to it; two pi is twice that value
// (not TWOPI, whose decimal is shorter).
inline constexpr TEXTENDED PIEXT = 3.14159265358979323846264338327950288L;
inline constexpr TEXTENDED TWOPIEXT = 2.0L * PIEXT;
