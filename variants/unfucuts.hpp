// unfucuts: the cuts of a run, where the series are truncated: the
// amplitude threshold that the estimate of a term must exceed, the period
// that parts short-period from secular terms and the order bound of the
// estimate (termshort's MAXSUM, which is also its order filter). Each
// program has the cuts its row of the table of the programs gives it, with
// the defaults of that table.
#pragma once

#include <string>

#include "termvariant.hpp"
#include "unallcon.hpp"
#include "unalltyp.hpp"
#include "unvarpow.hpp"

// The days of a Julian year, in the period and in the period cut: a
// hundredth of a Julian century, 365.25 exactly.
inline constexpr TEXTENDED YEARDAYS = JULIANC / 100.0_EXT;

// Today's cuts: |A| > 1.0E-16, 200 Julian years (the frequency of such a
// period, 2 pi / (200 * 365.25) = 2 pi / 73050 rad/day, 200 * 365.25 being
// exact), and the orders of the table of the programs.
inline constexpr TEXTENDED DEFAULTTHRESHOLD = 1.0E-16_EXT;
inline constexpr const char* DEFAULTTHRESHOLDTEXT = "1.0E-16";
inline constexpr TEXTENDED DEFAULTPERIODCUT = PERIOM;  // Julian years
inline constexpr const char* DEFAULTPERIODCUTTEXT = "200";

// The highest order bound a cut may set: a row of order S within the bound
// is halved S times, and orders are shortints (the halving powers of
// POWAR reach that far).
inline constexpr int MAXORDERBOUND = MAXHALF;

// The halving powers that the gate classes tell apart when every program
// has its default bound: one more than the highest of them (11).
inline constexpr int DEFAULTCLASSSLOTS = [] {
  int B = 0;
  for (const TVARIANT& V : PROGRAMTABLE) B = V.ORDERBOUND > B ? V.ORDERBOUND : B;
  return B + 1;
}();

struct TCUTS {
  TEXTENDED THRESHOLD = DEFAULTTHRESHOLD;  // |A| must exceed it
  std::string THRESHOLDTEXT = DEFAULTTHRESHOLDTEXT;
  TEXTENDED PERIODCUT = DEFAULTPERIODCUT;  // Julian years
  std::string PERIODCUTTEXT = DEFAULTPERIODCUTTEXT;
  int ORDERBOUND = 0;  // of the estimate, and termshort's order filter
  bool ESTIMATES = false;  // the row lines carry |A|

  // The frequency of a period of PERIODCUT years, rad/day: what parts
  // short-period (|Q| > T) from secular (|Q| < T) terms.
  TEXTENDED THRESHOLDFREQUENCY() const { return TWOPIEXT / (PERIODCUT * YEARDAYS); }
};

// The cuts of program V when none is given.
TCUTS DEFAULTCUTS(const TVARIANT& V);
// Whether C are V's defaults, bit for bit.
bool ISDEFAULT(const TVARIANT& V, const TCUTS& C);
