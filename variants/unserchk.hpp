// unserchk: the check of one series file, every defect at once (the
// program seriescheck). The file is read with the programs' own reader,
// which here keeps its defects and goes on at the next line; each term
// read is then held against the checks of the pipeline that stop some of
// the programs, as the table of the programs' differences sets them; and
// what every program accepts but a user most likely did not mean is noted
// as well.
//
// An error stops every program on the file; a warning names the programs
// that stop, or none. The kinds and texts of what stops a program are
// those of its fatal report.
//
// The findings are handed on one at a time, in the order of the report,
// as soon as their place in it is certain: what the check holds does not
// grow with their number.
#pragma once

#include <string>
#include <vector>

#include "termvariant.hpp"
#include "unalltyp.hpp"

struct TFINDING {
  bool ERROR = false;         // every program stops here; else a warning
  long LINE = 0, COLUMN = 0;  // from 1; 0: the file as a whole
  std::string KIND;           // the kind of the report, or of the doubt
  std::string WHAT;           // what was found
  std::string STOPS;          // "termshort and termall"; empty: none
};

// Where the findings on one file go, in the order of the report: those on
// the file as a whole first, then by line and column.
class TFINDINGSINK {
 public:
  virtual void FINDING(const TFINDING& F) = 0;

 protected:
  ~TFINDINGSINK() = default;
};

struct TFILECHECK {
  std::string NAME;
  bool OPENED = false;
  long TERMS = 0;  // terms read, whole or with a defect
  long GOOD = 0;   // of them read without a defect: the ranges below
  int MINORDER = 0, MAXORDER = 0;
  TEXTENDED MINAMP = 0.0_EXT, MAXAMP = 0.0_EXT;  // |amplitude|
  long NUMERRORS = 0, NUMWARNINGS = 0;     // the findings handed on
  std::vector<TFINDING> FINDINGS;          // CHECKSERIESFILE(N) alone: all
  long ERRORS() const { return NUMERRORS; }
  long WARNINGS() const { return NUMWARNINGS; }
};

// Checks series file N (1..27) in the series folder, each finding handed
// to SINK. A failure of SINK (an exception) ends the check.
TFILECHECK CHECKSERIESFILE(int N, TFINDINGSINK& SINK);
// The same with every finding held in FINDINGS, in the order of the
// report.
TFILECHECK CHECKSERIESFILE(int N);

// The order limit of the programs with an order filter (termshort's
// --max-order), as the checks take it: the table's default unless set.
void SETCHECKMAXORDER(int N);

// A set of programs: bit P stands for PROGRAMTABLE[P]. PROGRAMLIST names
// them: "termshort", "termshort and termall", "termshort, termsecul and
// termall".
std::string PROGRAMLIST(unsigned SET);
