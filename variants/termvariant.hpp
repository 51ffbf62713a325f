// termvariant: the programs that turn the series into per-pair tables,
// and everything in which they differ, one row each (PROGRAMTABLE). The
// rows are made by CMake from the one table of the programs,
// python/pairterms/programs.tsv (kept in the Python package so that a
// plain pip install carries it); a new program is one more row there,
// plus its variant unit and its program body.
//
// The procedures of each program that the shared pipeline plays, and
// where they stand:
//
//                       termshort  termsecul  termall
//   per-planet driver   FUSHORT    FUNSECU    FUNBODY   PLANETDRIVER  unfupipe
//   pair body           SHOTBOD    SECUBOD    PERUBOD   PAIRBODY      unfupipe
//   order filter        TOLIMINU   -          -         ORDERFILTER   unfuordr
//   pair tagging        PLAMONET   PLAMONES   PLAMONER  PAIRTAG       unfustag
//   file 1              SHOTBON    SECUBON    PERUBON   FIRSTFILE     unfustag
//   files 2..27         AMPLSHO    AMPLSEC    AMPLTXT   AMPLPREP      unfustag
//                                                       / COPYALL
//   term selection      SHOTERM    SECTERM    CURTERM   SELECTWRITE   unfustag
//   count table         SHORTAB    SECUTAB    FUTABLE   COUNTTABLE    unfucnt
//
// The stages of unfustag are the reference; what runs is the same in one
// pass per file, FUSEDBLOCK (unfufuse).
#pragma once

#include <cstddef>
#include <iterator>
#include <string_view>

// Which terms the term selection writes.
enum class TSELECT {
  SHORTPERIOD,  // |Q| > T, sine and cosine exchanged, with the period
  SECULAR,      // |Q| < T, unchanged, with the period
  ALLTERMS,     // every prepared term, unchanged, no period column
};

// The count table: a heading line of HEADINDENT blanks, then each planet
// number in HEADFIELD columns followed by HEADGAP blanks; a line per
// perturbed planet of its number in ROWFIELD columns, two blanks, each
// count in COUNTFIELD columns followed by a blank, and the row total in
// TOTALFIELD columns.
struct TTABLELAYOUT {
  int HEADINDENT, HEADFIELD, HEADGAP, ROWFIELD, COUNTFIELD, TOTALFIELD;
};

struct TVARIANT {
  const char* PROGRAM;    // program name
  const char* KEY;        // its name in lists (pairterms run --only)
  const char* UNIT;       // its variant unit
  const char* PURPOSE;    // one line for --help
  const char* PREFIX;     // per-pair file prefix
  const char* TABLENAME;  // count table file
  const char* CLOSETEXT;  // closing line of a per-pair file
  const char* OURTEXT;    // console: pair total
  const char* ALLTEXT;    // console: planet total
  bool ORDERFILTER;       // keeps the rows of order up to its order bound
  bool HASAMPTEST;        // files 2..27 pass the amplitude test
  int ORDERBOUND;         // the default order bound of the estimate; 0: none
  TSELECT SELECT;
  int PERIODWIDTH;        // width of the period column; 0: none
  TTABLELAYOUT LAYOUT;
};

inline constexpr TVARIANT PROGRAMTABLE[] = {
#include "termtable.inc"
};
inline constexpr int NUMPROGRAMS = static_cast<int>(std::size(PROGRAMTABLE));

// The row of the program named NAME; a name that is not in the table ends
// the program (a program body names its own row).
const TVARIANT& PROGRAMNAMED(std::string_view NAME);
// Its place in PROGRAMTABLE.
int PROGRAMINDEX(const TVARIANT& V);
