// Declarations of the control tables and the control numbers that the code refers to
// by name. Integer controls are numbered 1..135, double controls 1..75 and character
// controls 1..7; the tables are indexed by number - 1.
#pragma once

#include <cstdint>

#include "problem/infinity.h"  // the default of VALCUT

namespace kqopt {

inline constexpr int kIntControlCount = 135;
inline constexpr int kDoubleControlCount = 75;
inline constexpr int kCharControlCount = 7;
inline constexpr int kCharControlLength = 8;

struct IntControlSpec {
  const char* name;  // upper case; a leading byte 3 keeps typed input from matching it
  std::int32_t default_value;
  std::int32_t initial_access;
  const char* description;
};

struct DoubleControlSpec {
  const char* name;
  double default_value;
  const char* description;
};

struct CharControlSpec {
  const char* name;
  const char* default_value;  // exactly eight characters
  const char* description;
};

extern const IntControlSpec kIntControls[kIntControlCount];
extern const DoubleControlSpec kDoubleControls[kDoubleControlCount];
extern const CharControlSpec kCharControls[kCharControlCount];

// Integer control numbers.
namespace icv {
inline constexpr int M_R = 1;
inline constexpr int M_C = 2;
inline constexpr int M_M = 3;
inline constexpr int NRXTRA = 4;
inline constexpr int NCXTRA = 5;
inline constexpr int NMXTRA = 6;
inline constexpr int ITRLIM = 7;
inline constexpr int IFMSG = 8;
inline constexpr int ITRLOG = 9;
inline constexpr int IFSCAL = 10;
inline constexpr int IFPRES = 11;
inline constexpr int ICRASH = 12;
inline constexpr int IPHSF = 13;
inline constexpr int INVFRQ = 14;
inline constexpr int INVMIN = 15;
inline constexpr int NGEMAX = 16;
inline constexpr int INTMAX = 17;
inline constexpr int MAXNOD = 18;
inline constexpr int MXANOD = 19;
inline constexpr int MAXTIM = 20;
inline constexpr int MAXSOL = 21;
inline constexpr int IPKEEP = 22;
inline constexpr int IALG = 23;
inline constexpr int IPACTN = 24;
inline constexpr int KCRITM = 25;
inline constexpr int NDSEL1 = 26;
inline constexpr int NDSEL2 = 27;
inline constexpr int GPRINT = 28;
inline constexpr int IGNORE = 29;
inline constexpr int IFNRW = 30;
inline constexpr int LENDBL = 31;
inline constexpr int PRNLVL = 32;
inline constexpr int IFBSNM = 33;
inline constexpr int NLINES = 34;
inline constexpr int IFPMSG = 35;
inline constexpr int M_S = 36;
inline constexpr int NEXTRA = 37;
inline constexpr int MXCPOL = 38;
inline constexpr int MXCPEL = 39;
inline constexpr int IFCUTP = 40;
inline constexpr int IFNDCP = 41;
inline constexpr int IFMEM = 42;
inline constexpr int CACHE_SIZE = 43;
inline constexpr int CROSS = 44;
inline constexpr int MAXITER = 45;
inline constexpr int PUSH_CHOLESKY = 46;
inline constexpr int PRLEV = 47;
inline constexpr int ITCH = 48;
inline constexpr int NCPASS = 49;
inline constexpr int IFDBG = 50;
inline constexpr int NGXTRA = 51;
inline constexpr int INOINV = 52;
inline constexpr int NPROCS = 53;
inline constexpr int IFNBAS = 54;
inline constexpr int ITRHDG = 55;
inline constexpr int IFDUAL = 56;
inline constexpr int NPXTRA = 57;
inline constexpr int OMNIMAT = 58;
inline constexpr int IFECHO = 59;
inline constexpr int NRCRLP = 60;
inline constexpr int VERNO = 61;
inline constexpr int M_T = 62;
inline constexpr int M_E_FIGURE = 63;  // "M_E"; the plain name clashes with <cmath>
inline constexpr int M_P = 64;
inline constexpr int NRCRMX = 67;
inline constexpr int IFBIGM = 68;
inline constexpr int IPRICE = 69;
inline constexpr int IFFTUP = 70;
inline constexpr int NAMLEN = 71;
inline constexpr int NCMPR = 72;
inline constexpr int IEFILL = 73;
inline constexpr int NPPASS = 74;
inline constexpr int NDPASS = 75;
inline constexpr int NRPASS = 76;
inline constexpr int IPSLCT = 77;
inline constexpr int IFINTP = 78;
inline constexpr int MAXSLV = 79;
inline constexpr int BORDER = 80;
inline constexpr int NBDUAL = 81;
inline constexpr int MAXNBF = 82;
inline constexpr int IQUIET = 83;
inline constexpr int IPETRB = 84;
inline constexpr int ISHFMX = 85;
inline constexpr int DENSECOL = 86;
inline constexpr int IDBDC = 87;
inline constexpr int LOCAL = 88;
inline constexpr int PRTCUT = 89;
inline constexpr int CUT1 = 90;
inline constexpr int CUT2 = 91;
inline constexpr int CUT3 = 92;
inline constexpr int CUT4 = 93;
inline constexpr int CUT5 = 94;
inline constexpr int DOCUTTOP = 95;
inline constexpr int DFTRND = 96;
inline constexpr int ISTRATTOP = 97;
inline constexpr int BSTRATTOP = 98;
inline constexpr int GSTRATTOP = 99;
inline constexpr int GOMMXVRTOP = 100;
inline constexpr int IFDELTOP = 101;
inline constexpr int IFHEURTOP = 102;
inline constexpr int NBPASSTOP = 103;
inline constexpr int ISTRATBC = 104;
inline constexpr int BSTRATBC = 105;
inline constexpr int GSTRATBC = 106;
inline constexpr int GOMMXVRBC = 107;
inline constexpr int IFDELBC = 108;
inline constexpr int IFHEURBC = 109;
inline constexpr int NBPASSBC = 110;
inline constexpr int DOCUTBC = 111;
inline constexpr int MXBBD = 112;
inline constexpr int PRCUTOFF = 113;
inline constexpr int BINDINGBC = 114;
inline constexpr int IFCUTOFF = 115;
inline constexpr int CUTFREQ = 116;
inline constexpr int DFTLVL = 117;
inline constexpr int IFPREP = 118;
inline constexpr int LDGLOB = 119;
inline constexpr int SSV001 = 120;
inline constexpr int SSV002 = 121;
inline constexpr int SSV003 = 122;
inline constexpr int SSV004 = 123;
inline constexpr int SSV005 = 124;
inline constexpr int SSV006 = 125;
inline constexpr int SSV007 = 126;
inline constexpr int SSV008 = 127;
inline constexpr int SSV009 = 128;
inline constexpr int SSV010 = 129;
inline constexpr int ITRACE = 130;
inline constexpr int NIIS = 131;
inline constexpr int NODUAL = 132;
inline constexpr int CPUTIME = 133;
inline constexpr int MEMSIZ = 134;
inline constexpr int FREFMT = 135;
}  // namespace icv

// Double control numbers.
namespace dcv {
inline constexpr int ZTOLDA = 1;
inline constexpr int ZTOLPV = 2;
inline constexpr int ZTOLZE = 3;
inline constexpr int ZTOLPZ = 4;
inline constexpr int ZTOLST = 5;
inline constexpr int ZTCOST = 6;
inline constexpr int ZTETA = 7;
inline constexpr int ZTOLRP = 8;
inline constexpr int ZTOLIS = 9;
inline constexpr int PSEUDO = 10;
inline constexpr int OBJTAR = 11;
inline constexpr int ADDCUT = 12;
inline constexpr int CUTOFF = 13;
inline constexpr int PERCUT = 14;
inline constexpr int RTOLPS = 15;
inline constexpr int PENLTY = 16;
inline constexpr int PPFACT = 17;
inline constexpr int BIGM = 18;
inline constexpr int OPTCA = 19;
inline constexpr int OPTCR = 20;
inline constexpr int ZSP001 = 21;
inline constexpr int ZSP002 = 22;
inline constexpr int INFWGT = 23;
inline constexpr int FILLTRH = 24;
inline constexpr int TOLPIV = 25;
inline constexpr int TOLCOMP = 26;
inline constexpr int TOLDUAL = 27;
inline constexpr int TOLPRIMAL = 28;
inline constexpr int TOLIMP = 29;
inline constexpr int CTOLX = 30;
inline constexpr int CTOLZ = 31;
inline constexpr int CTOLACC = 32;
inline constexpr int CTOLAPIV = 33;
inline constexpr int CTOLRPIV = 34;
inline constexpr int ZTELIM = 35;
inline constexpr int PCRASH = 36;
inline constexpr int PETURB = 37;
inline constexpr int ZTSHFT = 38;
inline constexpr int ZPETRB = 39;
inline constexpr int ZTOLRI = 40;
inline constexpr int ZTOLMN = 41;
inline constexpr int ZTOLMX = 42;
inline constexpr int ZTSTEP = 43;
inline constexpr int ZTCR = 44;
inline constexpr int RDL2 = 45;
inline constexpr int RIL2 = 46;
inline constexpr int RIL3 = 47;
inline constexpr int ZTOLFT = 48;
inline constexpr int ZTOLDJ = 49;
inline constexpr int ZTOLIP = 50;
inline constexpr int ZTOLDB = 51;
inline constexpr int PSTCST = 52;
inline constexpr int CRITRN = 53;
inline constexpr int RSP001 = 54;
inline constexpr int RIU2 = 55;
inline constexpr int PHIMAX = 56;
inline constexpr int EXPAND = 57;
inline constexpr int SHRINK = 58;
inline constexpr int ZTOLRC = 59;
inline constexpr int RSP002 = 60;
inline constexpr int PIDENS = 61;
inline constexpr int RCAND = 62;
inline constexpr int ZDJDBS = 63;
inline constexpr int RUIN = 64;
inline constexpr int RLIN = 65;
inline constexpr int RUFS = 66;
inline constexpr int RLFS = 67;
inline constexpr int RPSSV1 = 68;
inline constexpr int RPSSV2 = 69;
inline constexpr int RPSSV3 = 70;
inline constexpr int ZTOLZS = 71;
inline constexpr int ZTOLRF = 72;
inline constexpr int PVAL = 73;
inline constexpr int ZPCOST = 74;
inline constexpr int VALCUT = 75;
}  // namespace dcv

// Character control numbers.
namespace ccv {
inline constexpr int RHSNAM = 1;
inline constexpr int OBJNAM = 2;
inline constexpr int RNGNAM = 3;
inline constexpr int BNDNAM = 4;
inline constexpr int ASCMSK = 5;
inline constexpr int DATNAM = 6;
inline constexpr int OBCNAM = 7;
}  // namespace ccv

}  // namespace kqopt
