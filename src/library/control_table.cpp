// The control table: number, name, default, access flag and a one-line description of
// every integer and double control. The setters, the interpreter's name lookup and the
// documentation all read these tables; no second list is kept anywhere.
//
// Access flags: -1 a size the library computes itself, -2 a fixed value; 0 settable.
// Capacity defaults (M_R, M_C, M_M, NGEMAX, MXANOD) are set from the workspace size
// at initialisation; the zero here is a placeholder until then.
#include "library/control_table.h"

#include <cmath>

namespace kqopt {

namespace {
// 1.0E-6 rounded to a double, then one step up; and 1.0E-10 one step down. These are
// the historical defaults of several tolerances and are kept bit-exact.
constexpr double kOneStepAboveMicro = 1.0000000000000002e-6;
constexpr double kOneStepBelowTenNano = 9.999999999999999e-11;
}  // namespace

const IntControlSpec kIntControls[kIntControlCount] = {
    {"M_R", 0, -1, "row capacity"},                                             // 1
    {"M_C", 0, -1, "column capacity"},                                          // 2
    {"M_M", 0, -1, "matrix-element capacity"},                                  // 3
    {"NRXTRA", 0, 0, "spare rows reserved at load"},                            // 4
    {"NCXTRA", 0, 0, "spare columns reserved at load"},                         // 5
    {"NMXTRA", 0, 0, "spare matrix elements reserved at load"},                 // 6
    {"ITRLIM", 2147483645, 0, "simplex iteration limit"},                       // 7
    {"IFMSG", 0, 0, "diagnostic message level"},                                // 8
    {"ITRLOG", 100, 0, "iteration log frequency (negative: every iteration)"},  // 9
    {"IFSCAL", 35, 0, "scaling method"},                                        // 10
    {"IFPRES", 1, 0, "presolve switch"},                                        // 11
    {"ICRASH", 2, 0, "crash basis type"},                                       // 12
    {"IPHSF", 0, 0, "phase-1 option"},                                          // 13
    {"INVFRQ", -1, 0, "refactorisation frequency (-1: automatic)"},             // 14
    {"INVMIN", 6, 0, "minimum updates before a refactorisation"},               // 15
    {"NGEMAX", 0, -1, "global-entity capacity"},                                // 16
    {"INTMAX", 2147483645, 0, "largest value read as an integer bound"},        // 17
    {"MAXNOD", 100000000, 0, "node limit of the global search"},                // 18
    {"MXANOD", 0, -1, "node capacity figure"},                                  // 19
    {"MAXTIM", 0, 0, "time limit in seconds (negative: always applies)"},       // 20
    {"MAXSOL", 0, 0, ""},                                                       // 21
    {"IPKEEP", 1, 0, ""},                                                       // 22
    {"IALG", 2, 0, ""},                                                         // 23
    {"IPACTN", 1, 0, ""},                                                       // 24
    {"KCRITM", 1, 0, ""},                                                       // 25
    {"NDSEL1", 1, 0, ""},                                                       // 26
    {"NDSEL2", 3, 0, ""},                                                       // 27
    {"GPRINT", -100, 0, ""},                                                    // 28
    {"IGNORE", 0, 0, "input faults tolerated while loading"},                   // 29
    {"IFNRW", 1, 0, "treatment of N rows at load"},                             // 30
    {"LENDBL", 12, 0, "width of numeric fields in the wide MPS layout"},        // 31
    {"PRNLVL", 1, 0, ""},                                                       // 32
    {"IFBSNM", 1, 0, ""},                                                       // 33
    {"NLINES", 23, 0, ""},                                                      // 34
    {"IFPMSG", 1, 0, "message switch: messages are printed while positive"},    // 35
    {"M_S", 8, -1, ""},                                                         // 36
    {"NEXTRA", 0, 0, ""},                                                       // 37
    {"MXCPOL", 100, -1, ""},                                                    // 38
    {"MXCPEL", 200, -1, ""},                                                    // 39
    {"IFCUTP", 0, 0, ""},                                                       // 40
    {"IFNDCP", 0, 0, ""},                                                       // 41
    {"\x03"
     "IFMEM",
     0, 0, "bit set: 1 once a problem is loaded; further bits used while optimising"},  // 42
    {"CACHE_SIZE", 250, 0, ""},                                                         // 43
    {"CROSS", 1, 0, ""},                                                                // 44
    {"MAXITER", 200, 0, ""},                                                            // 45
    {"PUSH_CHOLESKY", 1, 0, ""},                                                        // 46
    {"PRLEV", 1, 0, ""},                                                                // 47
    {"ITCH", 3000, 0, ""},                                                              // 48
    {"NCPASS", 10, 0, ""},                                                              // 49
    {"IFDBG", 1, 0, "index base of the array interface"},                               // 50
    {"NGXTRA", 0, 0, "spare global entities reserved at load"},                         // 51
    {"INOINV", 0, 0, ""},                                                               // 52
    {"NPROCS", 1, 0, ""},                                                               // 53
    {"IFNBAS", 0, 0, "a basis has been loaded or crashed"},                             // 54
    {"ITRHDG", 20, 0, "iteration log lines between headings"},                          // 55
    {"IFDUAL", 1, 0, ""},                                                               // 56
    {"NPXTRA", 0, 0, ""},                                                               // 57
    {"OMNIMAT", 0, 0, ""},                                                              // 58
    {"IFECHO", 0, 0, ""},                                                               // 59
    {"NRCRLP", 20, 0, ""},                                                              // 60
    {"VERNO", 1063, -2, "version number"},                                              // 61
    {"M_T", 1, -1, ""},                                                                 // 62
    {"M_E", 4, -1, ""},                                                                 // 63
    {"M_P", 1, -1, ""},                                                                 // 64
    {"\x03", 8, -2, "name is the single byte 3"},                                       // 65
    {"\x03", 7, -2, "name is the single byte 3"},                                       // 66
    {"NRCRMX", 1, 0, ""},                                                               // 67
    {"IFBIGM", 1, 0, "composite phase-1 (big-M) switch"},                               // 68
    {"IPRICE", 1, 0, "pricing strategy"},                                               // 69
    {"IFFTUP", 1, 0, "Forrest-Tomlin (1) or product-form (0) updates"},                 // 70
    {"NAMLEN", 8, 0, "name length in characters (multiple of 8)"},                      // 71
    {"NCMPR", 0, 0, "factor file compaction count"},                                    // 72
    {"IEFILL", 10, 0, ""},                                                              // 73
    {"NPPASS", 10, 0, ""},                                                              // 74
    {"NDPASS", 2, 0, ""},                                                               // 75
    {"NRPASS", 2, 0, ""},                                                               // 76
    {"IPSLCT", 511, 0, ""},                                                             // 77
    {"IFINTP", 7, 0, ""},                                                               // 78
    {"MAXSLV", 0, 0, ""},                                                               // 79
    {"BORDER", 0, 0, ""},                                                               // 80
    {"NBDUAL", 0, 0, ""},                                                               // 81
    {"MAXNBF", 10, 0, ""},                                                              // 82
    {"IQUIET", 0, 0, "quiet mode"},                                                     // 83
    {"IPETRB", 1, 0, ""},                                                               // 84
    {"ISHFMX", 100, 0, ""},                                                             // 85
    {"DENSECOL", 40, 0, ""},                                                            // 86
    {"IDBDC", 0, 0, ""},                                                                // 87
    {"LOCAL", 1, 0, ""},                                                                // 88
    {"PRTCUT", 0, 0, ""},                                                               // 89
    {"CUT1", 11, 0, ""},                                                                // 90
    {"CUT2", 676, 0, ""},                                                               // 91
    {"CUT3", 11, 0, ""},                                                                // 92
    {"CUT4", 0, 0, ""},                                                                 // 93
    {"CUT5", 0, 0, ""},                                                                 // 94
    {"DOCUTTOP", 11, 0, ""},                                                            // 95
    {"DFTRND", 3, 0, ""},                                                               // 96
    {"ISTRATTOP", 7, 0, ""},                                                            // 97
    {"BSTRATTOP", 3, 0, ""},                                                            // 98
    {"GSTRATTOP", 163, 0, ""},                                                          // 99
    {"GOMMXVRTOP", 50, 0, ""},                                                          // 100
    {"IFDELTOP", 0, 0, ""},                                                             // 101
    {"IFHEURTOP", 0, 0, ""},                                                            // 102
    {"NBPASSTOP", 20, 0, ""},                                                           // 103
    {"ISTRATBC", 4, 0, ""},                                                             // 104
    {"BSTRATBC", 2, 0, ""},                                                             // 105
    {"GSTRATBC", 2, 0, ""},                                                             // 106
    {"GOMMXVRBC", 50, 0, ""},                                                           // 107
    {"IFDELBC", 0, 0, ""},                                                              // 108
    {"IFHEURBC", 0, 0, ""},                                                             // 109
    {"NBPASSBC", 1, 0, ""},                                                             // 110
    {"DOCUTBC", 687, 0, ""},                                                            // 111
    {"MXBBD", 50, 0, ""},                                                               // 112
    {"PRCUTOFF", 1, 0, ""},                                                             // 113
    {"BINDINGBC", 0, 0, ""},                                                            // 114
    {"IFCUTOFF", 0, 0, ""},                                                             // 115
    {"CUTFREQ", 8, 0, ""},                                                              // 116
    {"DFTLVL", 1, 0, ""},                                                               // 117
    {"IFPREP", 0, 0, ""},                                                               // 118
    {"LDGLOB", 0, 0, ""},                                                               // 119
    {"SSV001", 1, 0, ""},                                                               // 120
    {"SSV002", 2, 0, ""},                                                               // 121
    {"SSV003", 0, 0, ""},                                                               // 122
    {"SSV004", 4, 0, ""},                                                               // 123
    {"SSV005", 5, 0, ""},                                                               // 124
    {"SSV006", 4, 0, ""},                                                               // 125
    {"SSV007", 7, 0, ""},                                                               // 126
    {"SSV008", 8, 0, ""},                                                               // 127
    {"SSV009", 9, 0, "crash type 7: number of triangular passes + 10"},                 // 128
    {"SSV010", 10, 0, ""},                                                              // 129
    {"ITRACE", 0, 0, ""},                                                               // 130
    {"NIIS", -1, 0, ""},                                                                // 131
    {"NODUAL", 0, 0, ""},                                                               // 132
    {"CPUTIME", 1, 0, "clock of the time limit: 1 CPU time, 0 elapsed time"},           // 133
    {"MEMSIZ", 0, 0, ""},                                                               // 134
    {"FREFMT", 0, 0, "free-format MPS input and output"},                               // 135
};

const DoubleControlSpec kDoubleControls[kDoubleControlCount] = {
    {"ZTOLDA", 1.0e-9, "drop tolerance for matrix elements"},    // 1
    {"ZTOLPV", 1.0e-9, "pivot tolerance"},                       // 2
    {"ZTOLZE", kOneStepAboveMicro, "zero tolerance"},            // 3
    {"ZTOLPZ", 1.0e-5, "display threshold of printed reals"},    // 4
    {"ZTOLST", 0.001, ""},                                       // 5
    {"ZTCOST", kOneStepAboveMicro, "reduced-cost tolerance"},    // 6
    {"ZTETA", 1.0e-13, ""},                                      // 7
    {"ZTOLRP", kOneStepAboveMicro, ""},                          // 8
    {"ZTOLIS", 0.0005, ""},                                      // 9
    {"PSEUDO", 1.0, ""},                                         // 10
    {"OBJTAR", 0.0, ""},                                         // 11
    {"ADDCUT", static_cast<double>(-1.0e-5f), ""},               // 12
    {"CUTOFF", 0.0, ""},                                         // 13
    {"PERCUT", 1.0e-4, ""},                                      // 14
    {"RTOLPS", 0.01, ""},                                        // 15
    {"PENLTY", 0.0, "cost penalty of the crash screening"},      // 16
    {"PPFACT", 0.5, ""},                                         // 17
    {"BIGM", 1024.0, "big-M weight of the composite phase 1"},   // 18
    {"OPTCA", 0.0, ""},                                          // 19
    {"OPTCR", 0.0, ""},                                          // 20
    {"ZSP001", static_cast<double>(0.075f), ""},                 // 21
    {"ZSP002", 0.0, ""},                                         // 22
    {"INFWGT", 128.0, "infeasibility weight"},                   // 23
    {"FILLTRH", 1.0, ""},                                        // 24
    {"TOLPIV", 1.0e-13, ""},                                     // 25
    {"TOLCOMP", 1.0e-8, ""},                                     // 26
    {"TOLDUAL", 1.0e-8, ""},                                     // 27
    {"TOLPRIMAL", 1.0e-8, ""},                                   // 28
    {"TOLIMP", kOneStepBelowTenNano, ""},                        // 29
    {"CTOLX", 1.0e-8, ""},                                       // 30
    {"CTOLZ", 1.0e-8, ""},                                       // 31
    {"CTOLACC", 0.1, ""},                                        // 32
    {"CTOLAPIV", 1.0e-8, ""},                                    // 33
    {"CTOLRPIV", 0.1, ""},                                       // 34
    {"ZTELIM", 0.001, ""},                                       // 35
    {"PCRASH", 0.3, "crash fraction"},                           // 36
    {"PETURB", 0.0, ""},                                         // 37
    {"ZTSHFT", 1.0e-15, ""},                                     // 38
    {"ZPETRB", kOneStepAboveMicro, ""},                          // 39
    {"ZTOLRI", 0.01, ""},                                        // 40
    {"ZTOLMN", 2.0, ""},                                         // 41
    {"ZTOLMX", 2.6e7, ""},                                       // 42
    {"ZTSTEP", 1.0, ""},                                         // 43
    {"ZTCR", 0.995, "crash threshold"},                          // 44
    {"RDL2", 0.5, ""},                                           // 45
    {"RIL2", 0.4, ""},                                           // 46
    {"RIL3", 0.33, ""},                                          // 47
    {"ZTOLFT", 1.0e-7, ""},                                      // 48
    {"ZTOLDJ", 1.0e-7, ""},                                      // 49
    {"ZTOLIP", 1.0e-7, ""},                                      // 50
    {"ZTOLDB", 5.2e7, ""},                                       // 51
    {"PSTCST", 1.0e18, ""},                                      // 52
    {"CRITRN", 0.0, ""},                                         // 53
    {"RSP001", 50.0, ""},                                        // 54
    {"RIU2", 0.5, ""},                                           // 55
    {"PHIMAX", 1.0e20, ""},                                      // 56
    {"EXPAND", 1.1, ""},                                         // 57
    {"SHRINK", 0.9, ""},                                         // 58
    {"ZTOLRC", 1.0e-5, ""},                                      // 59
    {"RSP002", 1000.0, ""},                                      // 60
    {"PIDENS", 0.2, ""},                                         // 61
    {"RCAND", 1.0, ""},                                          // 62
    {"ZDJDBS", 0.9, ""},                                         // 63
    {"RUIN", -1.0, ""},                                          // 64
    {"RLIN", -10.0, ""},                                         // 65
    {"RUFS", -1.0, ""},                                          // 66
    {"RLFS", -10.0, ""},                                         // 67
    {"RPSSV1", -10.0, ""},                                       // 68
    {"RPSSV2", 10.0, ""},                                        // 69
    {"RPSSV3", 0.0, ""},                                         // 70
    {"ZTOLZS", 1.0e-5, ""},                                      // 71
    {"ZTOLRF", 1.0e-9, ""},                                      // 72
    {"PVAL", kOneStepAboveMicro, ""},                            // 73
    {"ZPCOST", kOneStepAboveMicro, ""},                          // 74
    {"VALCUT", kInfinity, "cutoff value of the global search"},  // 75
};

const CharControlSpec kCharControls[kCharControlCount] = {
    {"RHSNAM", "        ", "right-hand-side set to read"},
    {"OBJNAM", "        ", "objective row to read"},
    {"RNGNAM", "        ", "range set to read"},
    {"BNDNAM", "        ", "bound set to read"},
    {"ASCMSK", "????????", "mask of the ASCII solution output"},
    {"DATNAM", "        ", "data name written with the solution"},
    {"OBCNAM", "        ", "objective constant set to read"},
};

}  // namespace kqopt
