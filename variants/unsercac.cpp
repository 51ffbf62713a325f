// unsercac: the series files, parsed once per run (see unsercac.hpp).
#include "unsercac.hpp"

#include <array>
#include <condition_variable>
#include <mutex>
#include <type_traits>

#include "unahead.hpp"
#include "unfatal.hpp"
#include "unfugate.hpp"
#include "unfuperi.hpp"
#include "unoutfil.hpp"
#include "unrowtxt.hpp"
#include "unthread.hpp"

namespace {

TARRAY<TSERIESFILE, 1, NUMSERIES, "series file"> SERIES;
int SLOTS = DEFAULTCLASSSLOTS;

// The rows of file N as they are read, into SERIES[N].
struct TSTORESINK {
  TSERIESFILE& S;
  TAMPTEXT A;
  TROWVAR R;
  // Storage for the rows; false when it cannot be had.
  bool COUNTED(int32_t COUNT) {
    S.COUNT = COUNT;
    return S.ROWS.OBTAIN(static_cast<size_t>(COUNT));
  }
  TROWVAR& ROW(int32_t) { return R; }
  void TAKE(int32_t X, const TROWVAR& TERM, long LINE) {
    const size_t M = static_cast<size_t>(X);
    S.ROWS.LINES[M] = LINE;
    S.ROWS.AMPS[M] = TERM.AMP;
    TROWFIELDS& P = S.ROWS.FIELDS[M];
    MAKEFIELDS(P, TERM, A);
    P.ORDER = static_cast<int16_t>(TERM.MEC[1] + TERM.MEC[2] + TERM.MEC[3] + TERM.MEC[4]);
    S.ROWS.TESTRECS[M] = TTESTREC{AMPKEY(TERM.AMP), X, GATECLASS(TERM.MEC[5], TERM.MEC[6], P.ORDER, SLOTS),
                                  MARSOF(TERM.MAR[1], TERM.MAR[4]), {}};
  }
};

// Parses file N into SERIES[N]; false when its storage cannot be had.
bool LOADSERIES(int N) {
  TSTORESINK SINK{SERIES[N], {}, {}};
  if (!READSERIESFILE(SERIESNAME(N), &SINK.A, SINK)) return false;
  SERIES[N].LOADED = true;
  return true;
}

// Parses file N here and now; every failure is raised at once.
void LOADHERE(int N) {
  SERIES[N] = TSERIESFILE{};
  if (!LOADSERIES(N))
    MEMORYERROR("the rows of a series file",
                TROWSTORE::BYTESFOR(static_cast<size_t>(SERIES[N].COUNT)));
}

// The background parsing: two threads take the files in order 1 to 27.
// Everything but THREADS, NTHREADS, STARTED, INPLACE and TAKEN, which only
// the main thread uses, is shared under M.
class TPARSERS {
 public:
  ~TPARSERS() { STOPALL(); }

  // Sets the parsing going, if it has not started yet.
  void AHEAD() {
    if (!STARTED) START();
  }

  TSERIESFILE& WAITFOR(int N) {
    if (!STARTED) START();
    TAKEN[N] = true;  // from now on the main thread's
    if (!INPLACE) {
      std::unique_lock<std::mutex> G(M);
      CV.wait(G, [&] { return STATE[N] == DONE || STATE[N] == REDO; });
    }
    // Not parsed ahead, or the parse ahead failed: the file is parsed here,
    // now, and a failure is raised where a plain run meets it.
    if (!SERIES[N].LOADED) LOADHERE(N);
    return SERIES[N];
  }

  // The main thread runs short: the threads stop, and the files they
  // parsed that the main thread has not taken yet are given back; it
  // parses them itself when it needs them. True when any thread was
  // working (its descriptors and storage, its stack included, are back).
  bool RELEASE() {
    if (NTHREADS == 0) return false;
    JOINALL();
    INPLACE = true;
    for (int N = 1; N <= NUMSERIES; ++N)
      if (!TAKEN[N]) SERIES[N] = TSERIESFILE{};
    return true;
  }

  void STOPALL() {
    JOINALL();
    GO = STOP = false;
    STARTED = INPLACE = false;
    NEXT = 1;
    STATE.fill(NOTSTARTED);
    TAKEN.fill(false);
  }

 private:
  enum TSTATE { NOTSTARTED, PARSING, DONE, REDO };
  static constexpr int MAXTHREADS = 2;
  static constexpr size_t STACKBYTES = size_t{2} << 20;

  void START() {
    STARTED = true;
    // A thread that cannot be had is done without. They all start work
    // once they are made, so that none holds anything yet while the next
    // one is made; a release meanwhile leaves them nothing to do.
    while (!INPLACE && NTHREADS < MAXTHREADS &&
           THREADS[NTHREADS].START([](void* P) { static_cast<TPARSERS*>(P)->WORK(); }, this, STACKBYTES))
      ++NTHREADS;
    if (NTHREADS == 0) INPLACE = true;
    {
      std::lock_guard<std::mutex> G(M);
      GO = true;
    }
    CV.notify_all();
  }

  // Stops the threads for good (until STOPALL).
  void JOINALL() {
    {
      std::lock_guard<std::mutex> G(M);
      STOP = true;
    }
    CV.notify_all();
    for (int T = 0; T < NTHREADS; ++T) THREADS[T].JOIN();
    NTHREADS = 0;
  }

  void WORK() {
    WORKSAHEAD();
    {
      std::unique_lock<std::mutex> G(M);
      CV.wait(G, [this] { return GO || STOP; });
    }
    for (;;) {
      int N;
      {
        std::lock_guard<std::mutex> G(M);
        if (STOP || NEXT > NUMSERIES) return;
        N = NEXT++;
        STATE[N] = PARSING;
      }
      TSTATE R = REDO;
      try {
        if (LOADSERIES(N)) R = DONE;
      } catch (...) {
        // Whatever failed is met again when the file is parsed in place.
      }
      if (R == REDO) SERIES[N] = TSERIESFILE{};  // nothing held for it
      {
        std::lock_guard<std::mutex> G(M);
        STATE[N] = R;
      }
      CV.notify_all();
    }
  }

  std::mutex M;
  std::condition_variable CV;
  bool GO = false;
  bool STOP = false;
  int NEXT = 1;
  std::array<TSTATE, NUMSERIES + 1> STATE{};
  std::array<TTHREAD, MAXTHREADS> THREADS;
  int NTHREADS = 0;
  bool STARTED = false;
  bool INPLACE = false;
  std::array<bool, NUMSERIES + 1> TAKEN{};
};

TPARSERS PARSERS;

}  // namespace

namespace {

// The bytes of COUNT rows of SIZE bytes in a row store: whole cache lines.
size_t PARTBYTES(size_t COUNT, size_t SIZE) { return (COUNT * SIZE + 63) / 64 * 64; }

}  // namespace

size_t TROWSTORE::BYTESFOR(size_t COUNT) {
  return PARTBYTES(COUNT, sizeof(TEXTENDED)) +
         PARTBYTES(COUNT, sizeof(TROWFIELDS)) + PARTBYTES(COUNT, sizeof(TTESTREC)) + PARTBYTES(COUNT, sizeof(int64_t));
}

bool TROWSTORE::OBTAIN(size_t COUNT) noexcept {
  *this = TROWSTORE{};
  if (COUNT == 0) return true;
  if (!TRYTWICE([&] { return BLOCK.OBTAIN(BYTESFOR(COUNT), true); })) return false;
  char* P = BLOCK.DATA();
  auto PLACE = [&](auto& SPAN) {
    using T = std::remove_reference_t<decltype(SPAN[0])>;
    SPAN.P = reinterpret_cast<T*>(P);
    SPAN.N = COUNT;
    P += PARTBYTES(COUNT, sizeof(T));
  };
  PLACE(AMPS);
  PLACE(FIELDS);
  PLACE(TESTRECS);
  PLACE(LINES);
  return true;
}

namespace {

bool NOTED = false;  // the series files are known to OPENOUTPUT

}  // namespace

void PARSEAHEAD() {
  // Before the first output is created: no output may be a series file.
  if (!NOTED)
    for (int N = 1; N <= NUMSERIES; ++N) PROTECTSERIES(SERIESDIRFD(), SERIESNAME(N));
  NOTED = true;
  SETRELEASER([] { return PARSERS.RELEASE(); });
  PARSERS.AHEAD();
}

TSERIESFILE& LOADEDSERIES(int N) {
  SERIES.CHECKINDEX(N);  // the file number is within 1..27
  return PARSERS.WAITFOR(N);
}

const TSERIESFILE& SERIESFILE(int N) { return SERIES[N]; }

void RESETSERIES() {
  PARSERS.STOPALL();
  for (int N = 1; N <= NUMSERIES; ++N) SERIES[N] = TSERIESFILE{};
  UNPROTECTALL();
  NOTED = false;
}

void SETCLASSSLOTS(int N) { SLOTS = N; }
int CLASSSLOTS() { return SLOTS; }

const TUSEDSET& USEDBY(TSERIESFILE& S, int BOUND, const TTESTREC* RECS, size_t NRECS) {
  for (const TUSEDSET& U : S.USED)
    if (U.BOUND == BOUND) return U;
  static std::vector<bool> SEENCLASS, SEENMARS(size_t{1} << 16);
  SEENCLASS.resize(GATECLASSES(SLOTS));
  TUSEDSET U{BOUND, {}, {}};
  for (size_t X = 0; X < NRECS; ++X) {
    const TTESTREC& R = RECS[X];
    if (R.CLASS != NOCLASS && !SEENCLASS[R.CLASS]) {
      SEENCLASS[R.CLASS] = true;
      U.CLASSES.push_back(R.CLASS);
    }
    if (!SEENMARS[R.MARS]) {
      SEENMARS[R.MARS] = true;
      U.MARSUSED.push_back(R.MARS);
    }
  }
  for (uint32_t C : U.CLASSES) SEENCLASS[C] = false;
  for (uint16_t M : U.MARSUSED) SEENMARS[M] = false;
  S.USED.push_back(std::move(U));
  return S.USED.back();
}
