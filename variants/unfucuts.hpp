// unfucuts: the cuts of a run, where the series are truncated: the
// amplitude threshold that the estimate of a term must exceed, the period
// that parts short-period from secular terms and the order bound of the
// estimate (termshort's MAXSUM, which is also its order filter). Each
// program has the cuts its row of the table of the programs gives it, with
// the defaults of that table.
#pragma once

#include <string>
#include <string_view>

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

// The options that set the cuts, and the programs that have each: a
// program with the amplitude test has --threshold and --estimates; one that
// selects by period, --period-cut; one with the order filter, --max-order
// (its order filter and its estimate's bound); any other with the
// amplitude test, --order-bound.
enum class TCUTOPTION { THRESHOLD, PERIODCUT, MAXORDER, ORDERBOUND, ESTIMATES };
struct TCUTOPTIONNAME {
  TCUTOPTION WHICH;
  const char* NAME;
  bool VALUE;  // takes a value
};
inline constexpr TCUTOPTIONNAME CUTOPTIONS[] = {
    {TCUTOPTION::THRESHOLD, "--threshold", true},   {TCUTOPTION::PERIODCUT, "--period-cut", true},
    {TCUTOPTION::MAXORDER, "--max-order", true},    {TCUTOPTION::ORDERBOUND, "--order-bound", true},
    {TCUTOPTION::ESTIMATES, "--estimates", false},
};
bool HASCUT(const TVARIANT& V, TCUTOPTION O);

// Sets cut O of C from the text VALUE, as the command line gives it: a
// threshold is a decimal number, rounded once to the nearest extended
// value, not negative; a period cut likewise, above zero, and such that
// the threshold frequency is finite and above zero; an order bound an
// integer within -128..127. False, with the reason in WHY ("is not a
// number"), when the value is refused.
bool SETCUT(TCUTS& C, TCUTOPTION O, std::string_view VALUE, std::string& WHY);

// The lines of the settings file of a run of V with cuts C made by
// VERSION, each ended by CR LF (see WRITESETTINGS).
std::string SETTINGSTEXT(const TVARIANT& V, const TCUTS& C, const char* VERSION);
// The settings file of program V in the folder open on DIRFD (AT_FDCWD:
// the current one), V's prefix and ".settings": written with the text
// above when C are not V's defaults, else removed if it is there; a
// failure is the I/O error.
void WRITESETTINGS(const TVARIANT& V, const TCUTS& C, const char* VERSION, int DIRFD);
std::string SETTINGSNAME(const TVARIANT& V);
