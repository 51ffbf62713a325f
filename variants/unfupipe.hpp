// unfupipe: the term pipeline that the three programs share. For each
// perturbed planet I the driver walks the seven perturbing planets J; for
// each ordered pair it writes one per-pair file, running the 27 series
// files through: read, order filter (termshort), pair tagging, file-1 or
// amplitude preparation, term selection and row output. After the seven
// pairs it rewrites the count table. The state is the variant unit's: the
// open output file F, the pair's term count K, the planet's term count L
// and the count table Z.
#pragma once

#include <cstdint>

#include "termvariant.hpp"
#include "unallcon.hpp"
#include "unalltyp.hpp"
#include "unsercac.hpp"
#include "untxtout.hpp"

inline constexpr int MAXSHORTORDER = 8;
inline constexpr int MAXALLORDER = 10;

using TCOUNTROW = TARRAY<int32_t, 1, MAXIPA, "perturbing planet">;
using TCOUNTTAB = TARRAY<TCOUNTROW, 1, MAXIPA, "perturbed planet">;

extern TTEXTOUT F;
extern TTEXTOUT CONSOLE;
extern int32_t K, L;
extern TCOUNTTAB Z;

// The amplitude test's limit; the frequency of a period of 200 Julian
// years (rad/day), which parts short-period from secular terms; the days
// of a Julian year; the frequency below which the period is written 0.
inline constexpr TEXTENDED AMPLIMIT = 1.0E-16L;
inline constexpr TEXTENDED THRESHOLD = TWOPIEXT / 73050.0L;
inline constexpr TEXTENDED YEARDAYS = 365.25L;
inline constexpr TEXTENDED MINFREQ = 1.0E-19L;

// Stages, in the order a pair runs them.
void PLANETDRIVER(const TVARIANT& V, uint8_t I);
void PAIRBODY(const TVARIANT& V, uint8_t I, uint8_t J);
void READSERIES(uint8_t N);  // into ROWONE/MECONE
void ORDERFILTER();          // ROWONE: rows of order <= MAXSUM
void PAIRTAG(uint8_t I, uint8_t J);
void FIRSTFILE(uint8_t I, uint8_t J);  // ROWONE -> ROWTWO
void AMPLTEST(uint8_t J, int BOUND);   // ROWONE -> ROWTWO
void COPYALL();                        // ROWONE -> ROWTWO
void SELECTWRITE(const TVARIANT& V);   // ROWTWO -> (ROWTRE) -> F
void COUNTTABLE(const TVARIANT& V);

// Per-term quantities.
int ORDEROF(const TROWVAR& R);  // MEC[1]+..+MEC[4], as a shortint
int ORDEROF(long ORDERSUM);
// Q = MAR[1] * VALAN[NPA] + MAR[4] * VALAN[NPB], radians per day.
TEXTENDED FREQUENCYOF(uint8_t NPA, uint8_t NPB, int8_t MAR1, int8_t MAR4);
TEXTENDED FREQUENCY(const TROWVAR& R);
TEXTENDED PERIOD(TEXTENDED Q);  // P, Julian years; 0 for |Q| < 1E-19
// The amplitude test of a row with amplitude AMP, axis exponents MEC5 and
// MEC6 and order sum ORDERSUM, tagged with NPA and NPB, for perturbing
// planet J, halving factor for orders 1..BOUND: |estimate| > 1.0E-16.
bool AMPPASSES(TEXTENDED AMP, int MEC5, int MEC6, long ORDERSUM, uint8_t NPA, uint8_t NPB, uint8_t J,
               int BOUND);

// How a pair runs its 27 files: stage by stage through the row tables, as
// described above, or fused into one pass over the parsed rows of each file
// (the default). Both write the same bytes and fail at the same points.
enum class TPIPELINEMODE { STAGED, FUSED };
extern TPIPELINEMODE PIPELINEMODE;

// Back to the state of a fresh start (for tests that run several jobs).
void RESETPIPELINE();
