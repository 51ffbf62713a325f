// Helpers for end-to-end tests: scratch folders, series files, and runs of
// the built programs in a folder through /bin/sh (so that a test can set
// limits with ulimit or redirect the console).
#pragma once

#include <string>
#include <vector>

#include "termvariant.hpp"

// The programs of the table of the programs, and their file prefixes, in
// its order.
std::vector<const char*> TERMPROGRAMS();
std::vector<const char*> TERMPREFIXES();

// A scratch folder, removed with its contents at the end of the test.
class TSCRATCH {
 public:
  TSCRATCH();
  ~TSCRATCH();
  TSCRATCH(const TSCRATCH&) = delete;
  TSCRATCH& operator=(const TSCRATCH&) = delete;
  const std::string& PATH() const { return DIR; }
  std::string FILE(const std::string& NAME) const { return DIR + "/" + NAME; }

 private:
  std::string DIR;
};

struct TRUN {
  int STATUS = -1;     // exit status; 128 + signal number if killed
  std::string OUT;     // standard output, bytes as written
  std::string ERR;     // standard error
  std::vector<std::string> LINES() const;  // OUT split at CR LF
};

// The command that runs a built program (termshort, termsecul, termall)
// or tool (seriesgen): its path, after the emulator in a cross build.
std::string PROGRAM(const std::string& NAME);
std::string TOOL(const std::string& NAME);
// Whether the programs run under an emulator (whose own memory use
// leaves no room for limits on the address space).
bool EMULATED();
// Folder of the conformance sets in the source tree.
std::string DATADIR();

// Runs SHELLCOMMAND with /bin/sh in DIR, standard input from /dev/null, no
// other descriptor than the three standard streams;
// e.g. RUN(D, PROGRAM("termall")) or RUN(D, "ulimit -f 64; " + PROGRAM(..)).
TRUN RUN(const std::string& DIR, const std::string& SHELLCOMMAND);

// A command started in the background through /bin/sh in DIR, standard
// input from /dev/null, standard output on OUT, standard error into
// ERRFILE; STATUS waits for it (128 + the signal when killed).
struct TCHILD {
  int PID = -1;
  int STATUS() const;
};
TCHILD STARTSHELL(const std::string& DIR, const std::string& SHELLCOMMAND, int OUT, const std::string& ERRFILE);
// Data read from FD until its end, waiting for it.
std::string DRAIN(int FD);

// Whole files.
std::string READFILE(const std::string& PATH);
void WRITEFILE(const std::string& PATH, const std::string& BYTES);
bool EXISTS(const std::string& PATH);
std::vector<std::string> LISTDIR(const std::string& DIR);  // sorted names
std::vector<std::string> SPLITLINES(const std::string& BYTES);  // at CR LF

// printf into a string (up to 255 characters).
std::string FMT(const char* F, ...) __attribute__((format(printf, 1, 2)));
// The planet names as the programs write them, 12 characters, index 1..8.
extern const char* const NAMES[9];

// A series file pufNN.txt in DIR with the given term lines (each without
// line end); COUNT defaults to the number of lines. Lines end with CR LF.
void WRITESERIES(const std::string& DIR, int N, const std::vector<std::string>& TERMS,
                 long COUNT = -1);
// All 27 series files with no terms, then the given ones over them.
void WRITEEMPTYSERIES(const std::string& DIR);
// One term line in the layout of the series files: the 24-character
// amplitude text, six exponents and six multipliers in width 4, two
// blanks and the code letter.
std::string TERMLINE(const std::string& AMPTEXT, const std::vector<int>& MEC,
                     const std::vector<int>& MAR, char CODE);
