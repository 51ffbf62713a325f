// unfupipe: the term pipeline that the three programs share, and its
// driver. For each perturbed planet I the driver walks the seven perturbing
// planets J; for each ordered pair it writes one per-pair file, running the
// 27 series files through: read, order filter (termshort), pair tagging,
// file-1 or amplitude preparation, term selection and row output. After the
// seven pairs it rewrites the count table. The state is the variant unit's:
// the open output file F, the pair's term count K, the planet's term count
// L and the count table Z.
//
// Where the pipeline's parts stand:
//   unfupipe  the driver, the pair body, the count lines and the count table
//   unfustag  the stages one by one through the row tables (the reference)
//   unfufuse  the same in one pass over the parsed rows (what runs)
//   unfuordr  the order of a term and the order filter
//   unfugate  the amplitude test and its exact gates
//   unfuperi  the frequency, the period and the pair's table of periods
//   unfuline  the row line, from the planets to the period
//   unsercac  the series files, parsed once per run
#pragma once

#include <cstdint>

#include "termvariant.hpp"
#include "unallcon.hpp"
#include "unalltyp.hpp"
#include "untxtout.hpp"

inline constexpr int MAXSHORTORDER = 8;
inline constexpr int MAXALLORDER = 10;

using TCOUNTROW = TARRAY<int32_t, 1, MAXIPA, "perturbing planet">;
using TCOUNTTAB = TARRAY<TCOUNTROW, 1, MAXIPA, "perturbed planet">;

extern TTEXTOUT F;
extern TTEXTOUT CONSOLE;
extern int32_t K, L;
extern TCOUNTTAB Z;

// Where the pipeline is, for fatal reports: the pair (I 0 outside a pair),
// the series file (N 0 outside one) and the place (0-based) of the term in
// hand in its file, or -1.
struct TPIPEPLACE {
  int I = 0, J = 0, N = 0;
  long TERM = -1;
};
extern TPIPEPLACE HERE;

// When set, the progress lines are left out of the console (a fatal
// report is written all the same).
extern bool QUIET;

// The driver of perturbed planet I and the body of pair (I, J).
void PLANETDRIVER(const TVARIANT& V, uint8_t I);
void PAIRBODY(const TVARIANT& V, uint8_t I, uint8_t J);
// The block line of series file N (MECONE rows) and the two count lines
// of the N terms written; the latter adds N to K and L.
void BLOCKLINE(uint8_t I, uint8_t J, int N);
void COUNTLINES(int32_t N);
void COUNTTABLE(const TVARIANT& V);

// How a pair runs its 27 files: stage by stage through the row tables, as
// described above, or fused into one pass over the parsed rows of each file
// (the default). Both write the same bytes and fail at the same points.
enum class TPIPELINEMODE { STAGED, FUSED };
extern TPIPELINEMODE PIPELINEMODE;

// Back to the state of a fresh start (for tests that run several jobs).
void RESETPIPELINE();
