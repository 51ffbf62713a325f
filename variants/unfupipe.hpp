// unfupipe: the driver of the term pipeline that the programs share. For
// each perturbed planet I the driver walks the seven perturbing planets J;
// for each ordered pair it writes one per-pair file, running the 27 series
// files through: read, order filter (termshort), pair tagging, file-1 or
// amplitude preparation, term selection and row output. After the seven
// pairs it rewrites the count table. All of it works on the state of one
// program's run (unfurun).
//
// Where the pipeline's parts stand, from the bottom:
//   unfucuts  the cuts of a run (threshold, period cut, order bound)
//   unfuline  the row line, from the planets to the period
//   unfuordr  the order of a term and the order filter
//   unfugate  the amplitude estimate, its test and the exact gates
//   unfuperi  the frequency, the period and the pair's table of periods
//   unsercac  the series files, parsed once per process
//   unfurun   the state of one program's run
//   unfucnt   the count lines and the count table
//   unfustag  the stages one by one through the row tables (the reference)
//   unfufuse  the same in one pass over the parsed rows (what runs)
//   unfupipe  the driver and the pair body
#pragma once

#include <cstdint>

#include "unfurun.hpp"

// The driver of perturbed planet I: its seven pairs, then the count table.
void PLANETDRIVER(TPROGRUN& R, uint8_t I);
// Pair (I, J), I != J: its file made, written and closed, its count in
// Z; the per-pair tables of R are of this pair already (NEWPAIR).
void RUNPAIR(TPROGRUN& R, uint8_t I, uint8_t J);
// The body of pair (I, J): the perturbing-planet line, the 27 blocks and
// the console's totals.
void PAIRBODY(TPROGRUN& R, uint8_t I, uint8_t J);
