// unsercac: the series files, parsed once per run (see unsercac.hpp).
#include "unsercac.hpp"

#include <array>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <type_traits>

#include "unfatal.hpp"
#include "unfugate.hpp"
#include "unfuperi.hpp"
#include "unoutfil.hpp"
#include "unrowtxt.hpp"

namespace {

TARRAY<TSERIESFILE, 1, NUMSERIES, "series file"> SERIES;

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
    S.ROWS.LINES[M] = static_cast<int32_t>(LINE);
    S.ROWS.AMPS[M] = TERM.AMP;
    TROWFIELDS& P = S.ROWS.FIELDS[M];
    P.MEC = TERM.MEC;
    P.MAR = TERM.MAR;
    P.FCS = TERM.FCS;
    P.SPARE = 0;
    P.ORDER = static_cast<int16_t>(TERM.MEC[1] + TERM.MEC[2] + TERM.MEC[3] + TERM.MEC[4]);
    S.ROWS.TESTRECS[M] = TTESTREC{AMPKEY(TERM.AMP), X, GATECLASS(TERM.MEC[5], TERM.MEC[6], P.ORDER),
                                  MARSOF(TERM.MAR[1], TERM.MAR[4]), {}};
    MAKEROWTEXT(S.ROWS.TEXTS[M], TERM, A);
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
class TPARSERS {
 public:
  ~TPARSERS() { STOPALL(); }

  // Sets the parsing going, if it is not yet.
  void AHEAD() {
    std::lock_guard<std::mutex> G(M);
    if (THREADS.empty() && !INPLACE) START();
  }

  TSERIESFILE& WAITFOR(int N) {
    std::unique_lock<std::mutex> G(M);
    if (THREADS.empty() && !INPLACE) START();
    if (!INPLACE) CV.wait(G, [&] { return STATE[N] == DONE || STATE[N] == REDO; });
    if (INPLACE || STATE[N] == REDO) {
      // Not parsed ahead, or the parse ahead failed: the file is parsed
      // here, now, and a failure is raised where a plain run meets it.
      G.unlock();
      if (!SERIES[N].LOADED) LOADHERE(N);
    }
    return SERIES[N];
  }

  void STOPALL() {
    {
      std::lock_guard<std::mutex> G(M);
      STOP = true;
    }
    for (std::thread& T : THREADS) T.join();
    THREADS.clear();
    STOP = false;
    INPLACE = false;
    NEXT = 1;
    STATE.fill(NOTSTARTED);
  }

 private:
  enum TSTATE { NOTSTARTED, PARSING, DONE, REDO };
  static constexpr int NTHREADS = 2;

  void START() {
    try {
      for (int T = 0; T < NTHREADS; ++T) THREADS.emplace_back([this] { WORK(); });
    } catch (const std::system_error&) {
      if (THREADS.empty()) INPLACE = true;  // one thread parses all, if any started
    }
  }

  void WORK() {
    SETTHREADTHROWS(true);
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
      {
        std::lock_guard<std::mutex> G(M);
        STATE[N] = R;
      }
      CV.notify_all();
    }
  }

  std::mutex M;
  std::condition_variable CV;
  std::vector<std::thread> THREADS;
  bool STOP = false;
  bool INPLACE = false;
  int NEXT = 1;
  std::array<TSTATE, NUMSERIES + 1> STATE{};
};

TPARSERS PARSERS;

}  // namespace

namespace {

// The bytes of COUNT rows of SIZE bytes in a row store: whole cache lines.
size_t PARTBYTES(size_t COUNT, size_t SIZE) { return (COUNT * SIZE + 63) / 64 * 64; }

}  // namespace

size_t TROWSTORE::BYTESFOR(size_t COUNT) {
  return PARTBYTES(COUNT, sizeof(TROWTEXT)) + PARTBYTES(COUNT, sizeof(TEXTENDED)) +
         PARTBYTES(COUNT, sizeof(TROWFIELDS)) + PARTBYTES(COUNT, sizeof(TTESTREC)) + PARTBYTES(COUNT, sizeof(int32_t));
}

bool TROWSTORE::OBTAIN(size_t COUNT) noexcept {
  *this = TROWSTORE{};
  if (COUNT == 0) return true;
  if (!BLOCK.OBTAIN(BYTESFOR(COUNT), true)) return false;
  char* P = BLOCK.DATA();
  auto PLACE = [&](auto& SPAN) {
    using T = std::remove_reference_t<decltype(SPAN[0])>;
    SPAN.P = reinterpret_cast<T*>(P);
    SPAN.N = COUNT;
    P += PARTBYTES(COUNT, sizeof(T));
  };
  PLACE(TEXTS);
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
    for (int N = 1; N <= NUMSERIES; ++N) PROTECTSERIES(SERIESNAME(N));
  NOTED = true;
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
