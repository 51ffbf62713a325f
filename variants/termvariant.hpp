// The three programs run one pipeline; everything in which they differ is
// one row of the table in termvariant.cpp.
#pragma once

// Which terms the term selection writes.
enum class TSELECT {
  SHORTPERIOD,  // |Q| > T, sine and cosine exchanged, with the period
  SECULAR,      // |Q| < T, unchanged, with the period
  ALLTERMS,     // every prepared term, unchanged, no period column
};

// The amplitude preparation of series files 2 to 27.
enum class TAMPTEST {
  COPYALL,   // every row goes on (no test)
  TOMAXSUM,  // amplitude test, halving bound MAXSUM (see HALVINGPOWER)
  TOTEN,     // amplitude test, halving bound 10
};

struct TVARIANT {
  const char* PROGRAM;    // program name
  const char* PURPOSE;    // one line for --help
  const char* PREFIX;     // per-pair file prefix
  const char* CLOSETEXT;  // closing line of a per-pair file
  const char* OURTEXT;    // console: pair total
  const char* ALLTEXT;    // console: planet total
  bool ORDERFILTER;       // MAXSUM := 8 per planet, order filter per file
  TAMPTEST AMPTEST;
  TSELECT SELECT;
  int PERIODWIDTH;        // width of the period column; 0: none
  const char* TABLENAME;  // count table file
  // Count table layout: heading indent A, heading number field B, blanks
  // after each heading number C, row number field D, count field E (each
  // followed by one blank), row total field G.
  int TA, TB, TC, TD, TE, TG;
};

extern const TVARIANT VARSHORT;  // termshort
extern const TVARIANT VARSECUL;  // termsecul
extern const TVARIANT VARALL;    // termall
