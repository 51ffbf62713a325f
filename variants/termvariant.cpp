#include "termvariant.hpp"

// Procedures of each program that the shared pipeline plays, and where
// they stand:
//
//                       termshort  termsecul  termall
//   per-planet driver   FUSHORT    FUNSECU    FUNBODY   PLANETDRIVER  unfupipe
//   pair body           SHOTBOD    SECUBOD    PERUBOD   PAIRBODY      unfupipe
//   order filter        TOLIMINU   -          -         ORDERFILTER   unfuordr
//   pair tagging        PLAMONET   PLAMONES   PLAMONER  PAIRTAG       unfustag
//   file 1              SHOTBON    SECUBON    PERUBON   FIRSTFILE     unfustag
//   files 2..27         AMPLSHO    AMPLSEC    AMPLTXT   AMPLTEST      unfustag
//                                                       / COPYALL
//   term selection      SHOTERM    SECTERM    CURTERM   SELECTWRITE   unfustag
//   count table         SHORTAB    SECUTAB    FUTABLE   COUNTTABLE    unfupipe
//
// The stages of unfustag are the reference; what runs is the same in one
// pass per file, FUSEDBLOCK (unfufuse).

const TVARIANT VARSHORT{
    .PROGRAM = "termshort",
    .PURPOSE = "writes the short-period terms (period under 200 years), sine "
               "and cosine exchanged, with their periods",
    .PREFIX = "roho",
    .CLOSETEXT = "      short p. terms number",
    .OURTEXT = "  our number of short p. terms",
    .ALLTEXT = "  all number of short p. terms",
    .ORDERFILTER = true,
    .AMPTEST = TAMPTEST::TOMAXSUM,
    .SELECT = TSELECT::SHORTPERIOD,
    .PERIODWIDTH = 7,
    .TABLENAME = "rohotabl.txt",
    .TA = 4, .TB = 6, .TC = 1, .TD = 2, .TE = 6, .TG = 8,
};

const TVARIANT VARSECUL{
    .PROGRAM = "termsecul",
    .PURPOSE = "writes the secular terms (period over 200 years, frequency "
               "zero included), unchanged, with their periods",
    .PREFIX = "roco",
    .CLOSETEXT = "      secular terms number",
    .OURTEXT = "  our number of secular terms",
    .ALLTEXT = "  all number of secular terms",
    .ORDERFILTER = false,
    .AMPTEST = TAMPTEST::COPYALL,
    .SELECT = TSELECT::SECULAR,
    .PERIODWIDTH = 8,
    .TABLENAME = "rocotabl.txt",
    .TA = 4, .TB = 5, .TC = 1, .TD = 2, .TE = 5, .TG = 6,
};

const TVARIANT VARALL{
    .PROGRAM = "termall",
    .PURPOSE = "writes every term whose amplitude is not negligible, "
               "unchanged, without periods",
    .PREFIX = "robo",
    .CLOSETEXT = "      terms number",
    .OURTEXT = "  our number of terms",
    .ALLTEXT = "  all number of terms",
    .ORDERFILTER = false,
    .AMPTEST = TAMPTEST::TOTEN,
    .SELECT = TSELECT::ALLTERMS,
    .PERIODWIDTH = 0,
    .TABLENAME = "robotabl.txt",
    .TA = 5, .TB = 6, .TC = 3, .TD = 3, .TE = 8, .TG = 10,
};
