// unfatal: the fatal errors. A failed check ends the program at once:
// the lines already written to the open output file and to the console are
// kept, a one-line report naming the kind of failure and saying where and
// why goes to standard output (and to standard error as well, unless that
// is the same open file or both are terminals, so that a user whose console
// is redirected still sees it, and nobody sees it twice), and the program
// exits with status 217. Nothing is retried and nothing is cleaned up.
#pragma once

#include <string>
#include <string_view>

inline constexpr int FATALSTATUS = 217;

// Report texts of the kinds: range, overflow and out-of-memory errors;
// the I/O errors have texts of their own, below.
inline constexpr const char* RANGETEXT = "Range check error";
inline constexpr const char* OVERFLOWTEXT = "Arithmetic overflow";
inline constexpr const char* MEMORYTEXT = "Out of memory";

// The floating-point unit is not in the mode the arithmetic needs.
inline constexpr const char* FPUMODETEXT = "Floating-point mode error";

// I/O failure texts.
inline constexpr const char* NOTFOUNDTEXT = "File not found";
inline constexpr const char* PATHTEXT = "Path not found";
inline constexpr const char* ACCESSTEXT = "File access denied";
inline constexpr const char* READERRTEXT = "Disk read error";
inline constexpr const char* WRITEERRTEXT = "Disk write error";
inline constexpr const char* NUMFORMTEXT = "Invalid numeric format";
inline constexpr const char* PASTENDTEXT = "Read past end of file";
inline constexpr const char* TERMCODETEXT = "Invalid term code";

// The program's name, the first word of the report.
void SETPROGRAMNAME(const char* NAME);
const char* PROGRAMNAMETEXT();

// The scope of the work in hand: what a fatal error reports and leaves
// behind. The program sets it (its run, see unfurun); several may take
// turns in one process. unfatal calls back up into it, and only here:
//   WHERE, when a report is made and when an output hands a buffer over
//   (CURRENTWHERE), for the place of the work ("pair 1-2, puf05.txt");
//   FAILEDBEFORE and FLUSHBEFOREEXIT, on a fatal error before the report.
// None of them raises a fatal error itself.
class TFATALSCOPE {
 public:
  virtual std::string WHERE() = 0;
  // An output written in the background may have failed at a point the
  // program has already passed: that failure came first and is the one
  // to report (its kind, its text and the place where the program then
  // was).
  virtual bool FAILEDBEFORE(std::string& KIND, std::string& WHY, std::string& WHERE) noexcept = 0;
  // Writes out the complete lines that the open outputs hold.
  virtual void FLUSHBEFOREEXIT() noexcept = 0;

 protected:
  ~TFATALSCOPE() = default;
};
// Makes S the scope in hand (null: none); returns the one before.
TFATALSCOPE* SETFATALSCOPE(TFATALSCOPE* S);

[[noreturn]] void RANGEERROR(const char* WHAT, long long VALUE, long long LO,
                             long long HI);
// The same for a value given as text (one too long to hold).
[[noreturn]] void RANGEERROR(const char* WHAT, std::string_view VALUE, long long LO, long long HI);
[[noreturn]] void OVERFLOWERROR(const char* WHAT, long long A, long long B);
[[noreturn]] void MEMORYERROR(const char* WHAT, unsigned long long BYTES);
// The out-of-memory error where no storage is left even for the report:
// writes a fixed text, allocates nothing. Installed as the handler of
// failed allocations by the program body.
[[noreturn]] void MEMORYERRORNOALLOC();
[[noreturn]] void IOERROR(std::string_view KINDTEXT, std::string_view WHY);
// The same with the place given (instead of the current one).
[[noreturn]] void IOERRORAT(std::string_view KINDTEXT, std::string_view WHY, std::string_view WHERE);
[[noreturn]] void FPUMODEERROR(std::string_view WHY);
// The current place, as the report would give it.
std::string CURRENTWHERE();

// The kind text of an I/O failure with errno ERR in an operation of kind
// KIND (READERRTEXT, WRITEERRTEXT, or that of OPENERRORTEXT): the failure's
// own text when that names its cause (no space left on the device, too
// many open files, a descriptor that takes nothing more now, no storage for
// it), else KIND.
const char* IOKINDTEXT(int ERR, const char* KIND);
// What the report of such a failure met in WHAT ("cannot write F") says:
// WHAT and the errno's text, unless that is the kind's text already.
std::string IOWHY(int ERR, const char* KIND, const std::string& WHAT);
// The I/O error of errno ERR met in WHAT, of kind IOKINDTEXT(ERR, KIND).
[[noreturn]] void IOERRNO(int ERR, const char* KIND, const std::string& WHAT);

// The I/O text for a failed open of an existing or missing file (errno).
const char* OPENERRORTEXT(int ERR, bool FORWRITING);

// For tests: instead of ending the process, throw TFATAL.
struct TFATAL {
  std::string KIND;    // the kind's text
  std::string REPORT;  // the whole report line
  std::string WHY;     // what the report says after the kind
  TFATAL(std::string K = {}, std::string R = {}, std::string W = {})
      : KIND(std::move(K)), REPORT(std::move(R)), WHY(std::move(W)) {}
};
void SETFATALTHROWS(bool THROWS);
// For work done ahead on another thread: a fatal error there throws TFATAL
// (kind and why only; std::bad_alloc when storage runs out) and touches
// nothing of the program's state; the program then does that work again
// itself when it needs it.
void SETTHREADTHROWS(bool THROWS);
