/*
 * kqopt: linear and mixed-integer optimisation library.
 *
 * Every operation returns an int32 return code: 0 on success, otherwise one of the bit
 * values 1 (problem does not fit into the workspace), 2 (file or basis unavailable),
 * 4 (workspace or optimiser resource exhausted), 8 (fatal start-up failure),
 * 16 (errors in an input file) or 32 (invalid call). After a failure the number of the
 * message that reported it is integer attribute 1023, read with KQGETIPV(1023, &v)
 * immediately afterwards. Arrays are indexed from 0. The library is not reentrant:
 * call it from one thread at a time.
 */
#ifndef KQOPT_H
#define KQOPT_H

#include <stdint.h>

#if defined(KQOPT_BUILDING_LIBRARY)
#define KQAPI __attribute__((visibility("default")))
#else
#define KQAPI
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Callback types. */
typedef void (*KQOutputCallback)(const char* text, int32_t length, int32_t message_class);
typedef int32_t (*KQLogCallback)(void);
typedef void (*KQCommandLineSource)(char* buffer, int32_t* length);

/* ---- Lifecycle ---------------------------------------------------------------------
 * KQINITLZ: sets every control to its default, opens the message file "rb-opt.msg"
 * (searched in $TARKEN, the given path or the host executable's directory, and this
 * library's directory) and sets the workspace budget to memsize bytes (0 or
 * 2147483647: what the machine can give). Returns 8 when the message file is missing
 * or of the wrong version, 4 when no workspace can be had. */
KQAPI int32_t KQINITLZ(const char* path, int32_t memsize);
/* Releases everything; KQINITLZ must be called again before further use. Returns 0. */
KQAPI int32_t KQFREEXO(void);
/* Problem name (at most 63 characters), from which file names are made. */
KQAPI int32_t KQSETPROB(const char* name);
/* Copies the problem name into name (at least 65 bytes). */
KQAPI int32_t KQGETPROB(char* name);
/* Runs the command interpreter on lines from source (null: standard input, with the
 * prompt '>'); a source that sets a negative length hands over to standard input.
 * Never returns: the process ends with the interpreter's exit code. */
KQAPI int32_t KQCONTROL(KQCommandLineSource source);

/* ---- Controls and attributes ------------------------------------------------------- */
KQAPI int32_t KQSETICV(int32_t n, int32_t value);
KQAPI int32_t KQSETDCV(int32_t n, double value);
KQAPI int32_t KQSETCCV(int32_t n, const char* value);
KQAPI int32_t KQGETICV(int32_t n, int32_t* value);
KQAPI int32_t KQGETDCV(int32_t n, double* value);
KQAPI int32_t KQGETCCV(int32_t n, char* value); /* buffer of at least 9 bytes */
KQAPI int32_t KQGETIPV(int32_t n, int32_t* value);
KQAPI int32_t KQGETDPV(int32_t n, double* value);
KQAPI int32_t KQGETCPV(int32_t n, char* value); /* buffer of at least 9 bytes */

/* ---- Output and callbacks ------------------------------------------------------------
 * Each registration takes one function (a null pointer unregisters it) and returns 0;
 * KQINITLZ unregisters them all. The output callback receives every output line with
 * its message class, and (NULL, 0, -1) when a run of output is complete (an open log
 * file is then closed, so it can be read whole). The simplex log callback is called
 * after each iteration-log line, after such a flush notice; the global-search and
 * barrier log callbacks likewise after their log lines. */
KQAPI int32_t KQDEFINEUOPENTRY(KQOutputCallback callback);
KQAPI int32_t KQDEFINEILENTRY(KQLogCallback callback);
KQAPI int32_t KQDEFINEGLENTRY(KQLogCallback callback);
KQAPI int32_t KQDEFINEBLENTRY(KQLogCallback callback);
KQAPI int32_t KQDEFINEUSNENTRY(void (*callback)(int32_t* node));
KQAPI int32_t KQDEFINEUONENTRY(void (*callback)(int32_t* flag));
KQAPI int32_t KQDEFINEUINENTRY(void (*callback)(void));
KQAPI int32_t KQDEFINEUCNENTRY(void (*callback)(int32_t node));
KQAPI int32_t KQDEFINEUISENTRY(void (*callback)(void));
KQAPI int32_t KQDEFINEUCBENTRY(void (*callback)(int32_t* column, int32_t* direction, double* estimate));
KQAPI int32_t KQDEFINEUBEENTRY(void (*callback)(int32_t* entity, int32_t* priority, double* up_estimate,
                                                double* down_estimate, double* fraction, int32_t* direction,
                                                int32_t* unsatisfied, double* contribution));
KQAPI int32_t KQDEFINEUSEENTRY(void (*callback)(int32_t, int32_t, int32_t, double));
KQAPI int32_t KQDEFINECMIENTRY(void (*callback)(void));
KQAPI int32_t KQDEFINETCMENTRY(KQLogCallback callback);
KQAPI int32_t KQDEFINECMENTRY(KQLogCallback callback);
KQAPI int32_t KQDEFINECMSENTRY(void (*callback)(void));
/* Log file: lines are appended to the named file; null or "" closes it. Returns 0. */
KQAPI int32_t KQSETOPTLOG(const char* name);

/* ---- Optimisation and the solution ---------------------------------------------------
 * KQMAXIM / KQMINIM optimise the loaded problem. Option letters (lower case, others
 * ignored): 'd' dual simplex, 'b' barrier, 'g' global search, 'l' ignore global
 * entities; with none of the first three the LP is solved by the primal simplex (the
 * IALG and IFDUAL controls may choose otherwise). Afterwards integer
 * attribute 1010 holds the LP status (1 optimal, 2 infeasible, 4 unfinished,
 * 5 unbounded), 1009 the iterations and double attribute 2001 the objective. */
KQAPI int32_t KQMAXIM(const char* options);
KQAPI int32_t KQMINIM(const char* options);
/* Primal values of the columns, slacks of the rows (the value of each row's logical in
 * a.x + s = rhs), row prices and reduced costs, in the caller's units and objective
 * sense; any pointer may be null. From the solution file when not in memory
 * (message 122, return code 2 when that is missing). */
KQAPI int32_t KQSOLUTION(double* x, double* slack, double* dual, double* dj);
/* Basis status per row and column: 0 nonbasic at lower, 1 basic, 2 nonbasic at upper. */
KQAPI int32_t KQGETBASIS(int32_t* rstatus, int32_t* cstatus);

/* ---- Problem loading -----------------------------------------------------------------
 * Indices are 0-based (rows 0..nrow-1, columns 0..ncol-1, element and set positions);
 * after integer control 50 (IFDBG) is set to 0 they are 1-based. Bounds at or beyond
 * +-1.0E29 mean no bound. A load replaces the current problem; on failure no problem
 * is loaded (except after message 73, which changes nothing).
 *
 * KQLOADPROB: loads a linear problem. qrtype[nrow] holds 'N', 'L', 'G', 'E' or 'R';
 * range[nrow] is read only for 'R' rows (activity in [rhs - |range|, rhs]) and may be
 * null when there are none. Column j's elements are mstart[j]..mstart[j+1]-1 when mnel
 * is null (mstart then has ncol + 1 entries), else mstart[j]..mstart[j]+mnel[j]-1.
 * Elements below ZTOLDA in magnitude are dropped. name, when not empty, becomes the
 * problem name. Returns 0; 1 when the workspace is too small (message 20 and the array
 * number); 32 for: 73 too many rows, 120 too many rows and columns, 52 too many
 * elements, 401 bad row type, 402 bad element row index or column start, 86 a missing
 * array, 29 data faults (lower bound above upper bound, non-finite values) beyond
 * control IGNORE. */
KQAPI int32_t KQLOADPROB(const char* name, int32_t ncol, int32_t nrow, const char* qrtype, const double* rhs,
                         const double* range, const double* obj, const int32_t* mstart, const int32_t* mnel,
                         const int32_t* mrwind, const double* dmatval, const double* dlb, const double* dub);
/* KQLOADGLOBAL: as KQLOADPROB, then ngents column entities (qgtype 'I' integer, 'S'
 * semi-continuous, 'B' binary: upper bound 1, 'P' partial integer with limit mplim[i])
 * on columns mgcols[], and nsets sets (qstype '1' or '2') whose members are
 * msstart[k]..msstart[k+1]-1 of mscols[] with weights dref[]. A column listed twice is
 * counted once (message 261). Further errors (32): 107 too many entities, 403 bad
 * entity kind, 404 bad set type, 405 a column index that denotes no column. */
KQAPI int32_t KQLOADGLOBAL(const char* name, int32_t ncol, int32_t nrow, const char* qrtype, const double* rhs,
                           const double* range, const double* obj, const int32_t* mstart, const int32_t* mnel,
                           const int32_t* mrwind, const double* dmatval, const double* dlb, const double* dub,
                           int32_t ngents, int32_t nsets, const char* qgtype, const int32_t* mgcols,
                           const int32_t* mplim, const char* qstype, const int32_t* msstart, const int32_t* mscols,
                           const double* dref);
/* KQADDNAMES: names rows (type 1) or columns (type 2) first..last from last-first+1
 * NUL-terminated names stored one after another. Errors (32): 91 no problem, 406/407
 * range, 408 a name longer than 8*k characters (k = (NAMLEN + 7) / 8). */
KQAPI int32_t KQADDNAMES(int32_t type, const char* names, int32_t first, int32_t last);
/* KQLOADDIR / KQILOADDIR: ndir branching directives. mcols[i] is a column index or -k
 * for set k (k from 1); mpri priorities 0..1000 (others: message 76, 500 used); qbr
 * 'U', 'D' or 'N'; dupc/ddpc pseudo-costs. Null mpri: 500; null qbr: no direction; null
 * pseudo-cost arrays leave them unchanged; null mcols: directive i for entity i. A
 * negative ndir applies the first element of each array to every entity. Errors (32):
 * 91 no problem or no entities, 287 KQLOADDIR during a global search, 405 not a
 * column, 409 bad direction (earlier directives stay). A directive for a column that is
 * no entity is skipped with message 247. */
KQAPI int32_t KQLOADDIR(int32_t ndir, const int32_t* mcols, const int32_t* mpri, const char* qbr, const double* dupc,
                        const double* ddpc);
KQAPI int32_t KQILOADDIR(int32_t ndir, const int32_t* mcols, const int32_t* mpri, const char* qbr, const double* dupc,
                         const double* ddpc);

/* ---- Problem retrieval ---------------------------------------------------------------
 * Ranges first..last are checked: rows need first >= 0 and last < rows (message 406),
 * columns last < columns (407); no problem loaded gives message 91 (all return 32).
 * Values are in the caller's units; the KQI... forms return them as stored (scaled). */
KQAPI int32_t KQGETOBJ(double* obj, int32_t first, int32_t last);
KQAPI int32_t KQGETRHS(double* rhs, int32_t first, int32_t last);
/* Range value of each row: |range| for an 'R' row; the logical's upper bound otherwise. */
KQAPI int32_t KQGETRNG(double* rng, int32_t first, int32_t last);
KQAPI int32_t KQGETBDL(double* bdl, int32_t first, int32_t last);
KQAPI int32_t KQGETBDU(double* bdu, int32_t first, int32_t last);
/* KQGETCOLS / KQGETROWS: with size > 0 the columns (rows) first..last column-wise
 * (row-wise): mstart receives each one's start and one end entry, then at most size
 * elements. The copy stops at the first element that would exceed size: KQGETCOLS has
 * written the start of that column, KQGETROWS not that of that row, and neither the end
 * entry. *nels always receives the number of elements of the whole range (size 0
 * only counts). */
KQAPI int32_t KQGETCOLS(int32_t* mstart, int32_t* mrwind, double* dmatval, int32_t size, int32_t* nels, int32_t first,
                        int32_t last);
KQAPI int32_t KQGETROWS(int32_t* mstart, int32_t* mclind, double* dmatval, int32_t size, int32_t* nels, int32_t first,
                        int32_t last);
/* Names of rows (type 1) or columns (type 2): 8*k characters, blank-padded, and a NUL
 * each (8*k + 1 bytes per name). */
KQAPI int32_t KQGETNAMES(int32_t type, char* names, int32_t first, int32_t last);
/* Index of the row (type 1) or column (type 2) with that name (compared blank-padded),
 * or -1 with return code 0. */
KQAPI int32_t KQGETINDEX(int32_t type, const char* name, int32_t* index);
/* Row types 'N', 'L', 'G', 'E', 'R'; column types 'C', 'I', 'B', 'S', 'P'. */
KQAPI int32_t KQGETROWTYPE(char* qrtype, int32_t first, int32_t last);
KQAPI int32_t KQGETCOLTYPE(char* qctype, int32_t first, int32_t last);
/* The global entities as KQLOADGLOBAL takes them (dlim: the limit of 'P' and 'S'
 * entities, 0 otherwise; msstart has nsets + 1 entries). Null arrays are skipped. */
KQAPI int32_t KQGETGLOBAL(int32_t* ngents, int32_t* nsets, char* qgtype, int32_t* mgcols, double* dlim, char* qstype,
                          int32_t* msstart, int32_t* mscols, double* dref);
/* The directive of every entity: column or -k for set k, priority, 'U'/'D'/'N' and
 * pseudo-costs. *ndir receives the number of entities. Null arrays are skipped. */
KQAPI int32_t KQGETDIR(int32_t* ndir, int32_t* mcols, int32_t* mpri, char* qbr, double* dupc, double* ddpc);
KQAPI int32_t KQIGETOBJ(double* obj, int32_t first, int32_t last);
KQAPI int32_t KQIGETRHS(double* rhs, int32_t first, int32_t last);
KQAPI int32_t KQIGETRNG(double* rng, int32_t first, int32_t last);
KQAPI int32_t KQIGETBDL(double* bdl, int32_t first, int32_t last);
KQAPI int32_t KQIGETBDU(double* bdu, int32_t first, int32_t last);
KQAPI int32_t KQIGETCOLS(int32_t* mstart, int32_t* mrwind, double* dmatval, int32_t size, int32_t* nels, int32_t first,
                         int32_t last);
KQAPI int32_t KQIGETROWS(int32_t* mstart, int32_t* mclind, double* dmatval, int32_t size, int32_t* nels, int32_t first,
                         int32_t last);

/* ---- Changing the loaded problem ------------------------------------------------------
 * Values in the caller's units, indices with the index base (0-based from C). A call
 * that fails (return code 32 with its message) changes nothing. Rows, columns and
 * elements are added into the spare capacity reserved at load (NRXTRA, NCXTRA, NMXTRA;
 * messages 413, 414, 415 when it runs out). The basis in memory is kept for the next
 * optimisation: new rows enter with their logical basic, new columns nonbasic at a
 * bound. Refused with message 268 during a global search.
 *
 * KQADDROWS: qrtype, rhs, range (read for 'R') per new row; mstart[newrow + 1] start
 * the rows' elements in mclind/dmatval; elements below ZTOLDA are skipped; with IFSCAL
 * the new rows are scaled. Messages 401 (row type), 405 (column), 423 (column twice in
 * a row, when scaling), 431 while an optimisation runs. */
KQAPI int32_t KQADDROWS(int32_t newrow, int32_t newnz, const char* qrtype, const double* rhs, const double* range,
                        const int32_t* mstart, const int32_t* mclind, const double* dmatval);
/* KQDELROWS: the rows left keep their order, names, bounds and basis status. 402 for an
 * index outside the rows. */
KQAPI int32_t KQDELROWS(int32_t nrows, const int32_t* mindex);
/* KQADDCOLS: objective, bounds (beyond +-1.0E29: none) and elements mstart[newcol + 1]
 * per new column. Messages 402 (row), 423 (row twice in a column, when scaling). */
KQAPI int32_t KQADDCOLS(int32_t newcol, int32_t newnz, const double* objx, const int32_t* mstart,
                        const int32_t* mrwind, const double* dmatval, const double* bdl, const double* bdu);
/* KQDELCOLS: global entities and set members of deleted columns go with them. 405 for
 * an index that is not a column, 431 while an optimisation runs. */
KQAPI int32_t KQDELCOLS(int32_t ncols, const int32_t* mindex);
/* KQCHGBDS: qbtype 'U' upper, 'L' lower, 'B' both (416 otherwise). */
KQAPI int32_t KQCHGBDS(int32_t nbnds, const int32_t* mindex, const char* qbtype, const double* bnd);
/* KQCHGOBJ: index -1 (whatever the index base) sets the objective constant. */
KQAPI int32_t KQCHGOBJ(int32_t ncols, const int32_t* mindex, const double* obj);
/* KQCHGRHS: a ranged row keeps its range width. */
KQAPI int32_t KQCHGRHS(int32_t nrows, const int32_t* mindex, const double* rhs);
/* KQCHGRNG: r gives an L or E row the activity range [b - r, b], a G row [b, b + r];
 * r <= -1.0E29 makes an L or E row a G row. */
KQAPI int32_t KQCHGRNG(int32_t nrows, const int32_t* mindex, const double* rng);
/* KQCHGROWTYPE: 'L' and 'R' (infinite range until KQCHGRNG), 'G', 'E', 'N'. */
KQAPI int32_t KQCHGROWTYPE(int32_t nrows, const int32_t* mindex, const char* qrtype);
/* KQCHGCOLTYPE: 'C' continuous, 'I' integer, 'B' binary (upper bound 1). New entities
 * need a spare entity slot (NGXTRA; message 428). */
KQAPI int32_t KQCHGCOLTYPE(int32_t ncols, const int32_t* mindex, const char* qctype);
/* KQCHGCOF / KQCHGMCOF: an element set below ZTOLDA leaves the matrix. */
KQAPI int32_t KQCHGCOF(int32_t irow, int32_t icol, double dval);
KQAPI int32_t KQCHGMCOF(int32_t ncoeffs, const int32_t* mrow, const int32_t* mcol, const double* dval);

/* ---- Matrix slots --------------------------------------------------------------------
 * Up to 64 problems, each kept with its controls, attributes and problem name.
 * KQSAVMAT: saves the current problem into the current slot (*n receives its number, 0
 * when there is no problem: message 91); the library then has no problem and the lowest
 * free slot becomes current (message 420 when all 64 are in use). */
KQAPI int32_t KQSAVMAT(int32_t* n);
/* KQRESMAT: makes slot n current, bringing back its problem, controls, attributes and
 * name (message 398); the current slot's saved copy is brought up to date first.
 * Message 421 for n outside 0..64 or a slot without a saved copy. */
KQAPI int32_t KQRESMAT(int32_t n);
/* KQCPYMAT: as KQSAVMAT, then continues with a copy of the saved problem named name. */
KQAPI int32_t KQCPYMAT(const char* name, int32_t* n);
/* KQDELMAT: deletes slot n's saved copy (nothing when it has none); 421 outside 0..64. */
KQAPI int32_t KQDELMAT(int32_t n);

/* ---- Reading a problem file ---------------------------------------------------------
 * KQINPUT: reads the problem file `name` and makes it the current problem. A name with
 * an extension (after the last '.' behind the last '/' or '\') is opened as given;
 * without one, name.mat, name.mps and name.lp are tried in this order. MPS files are
 * read in the fixed layout, in the wide layout when NAMLEN > 8 or LENDBL > 12, and in
 * the free layout when FREFMT is nonzero. RHSNAM, RNGNAM, BNDNAM and OBJNAM, when set
 * by the caller, choose the set or the objective row to read; after a read they hold
 * the names that were used. The problem name becomes name without its extension.
 * Returns 0 on success; 16 when the name dictionary overflows (message 114); 32 when
 * name is null (message 86), no file opens (message 85), the file exceeds a capacity or
 * ends before ENDATA (no problem is loaded then), or it has more faults than IGNORE
 * allows (the problem stays loaded unless a number was invalid or an integer bound too
 * large). LP text (extension lp): an objective after max/min, constraints after
 * "subject to", optional bounds, generals and binaries sections, and "end"; a fatal
 * fault (messages 451-455, 471, 472) loads nothing, other faults (456-465, 473, 479,
 * 480) skip their item and count against IGNORE, the problem being loaded all the same. */
KQAPI int32_t KQINPUT(const char* name);

/* ---- The basis, basis solves and single pivots ----------------------------------------
 * Basis status codes, rows and columns alike: 0 nonbasic at lower bound, 1 basic,
 * 2 nonbasic at upper bound. A combined index names a variable of the internal
 * numbering: row slots 0..M-1 (M = rows + spare rows, attribute 1002 - columns),
 * then column j as M + j. Plain forms work in the caller's units, KQI... forms in
 * the internal (scaled) ones. No problem loaded: message 91; called while an
 * optimisation runs (from a callback): message 422; both return 32. */
/* KQLOADBASIS / KQILOADBASIS: installs rstatus[rows] and cstatus[columns]. Basic rows
 * keep their own basis positions; basic columns fill the positions of nonbasic rows in
 * column order, and those left without one become nonbasic at lower. The next
 * optimisation starts from this basis, without a crash. Errors (32, nothing changed):
 * 266 KQLOADBASIS during a global search; 410 / 411 a row / column status other than
 * 0, 1, 2 (tag "ldbasis ", position, value); 86 a null array. */
KQAPI int32_t KQLOADBASIS(const int32_t* rstatus, const int32_t* cstatus);
KQAPI int32_t KQILOADBASIS(const int32_t* rstatus, const int32_t* cstatus);
/* KQIGETBASIS: the basis of the status words as held now (KQGETBASIS may read the
 * solution file instead); null arrays are skipped. */
KQAPI int32_t KQIGETBASIS(int32_t* rstatus, int32_t* cstatus);
/* KQGETBASICPIV: basis[p] (p < rows) receives the combined index of the variable basic
 * in basis position p. When the factorisation is not current (before an optimisation
 * or a basis solve, after KQLOADBASIS): return code 32, error number 422, no message. */
KQAPI int32_t KQGETBASICPIV(int32_t* basis);
/* KQFTRAN / KQIFTRAN: vec[rows] <- B^-1 vec, a vector by row in, by basis position out:
 * the FTRAN of a basic matrix column is the unit vector of its position.
 * KQBTRAN / KQIBTRAN: vec[rows] <- vec B^-1, by basis position in, by row out: the
 * BTRAN of the basic costs gives the row prices of KQSOLUTION (same objective sense).
 * The basis of the status words is factorised first when needed (messages 20, 102 on
 * failure). */
KQAPI int32_t KQFTRAN(double* vec);
KQAPI int32_t KQBTRAN(double* vec);
KQAPI int32_t KQIFTRAN(double* vec);
KQAPI int32_t KQIBTRAN(double* vec);
/* KQGETINF: the infeasibilities of the current basis, its solution recomputed (or of
 * the solution file when no basis is in memory: message 122, return code 2 without
 * one): npv columns (listed in mx) and nps rows (mslack) outside their bounds by
 * ZTOLZE or more; nds rows (mdual) and ndv columns (mdj) that are dual infeasible: the
 * reduced cost in the minimisation sense (-price for a row) is below -ZTOLDJ at a lower
 * bound, above ZTOLDJ at an upper bound, beyond ZTOLDJ in size when free; fixed ones
 * are never listed. Null pointers are skipped. */
KQAPI int32_t KQGETINF(int32_t* npv, int32_t* nps, int32_t* nds, int32_t* ndv, int32_t* mx, int32_t* mslack,
                       int32_t* mdual, int32_t* mdj);
/* KQGETUNB: *j <- the variable along which the last optimisation found the problem
 * unbounded (LP status 5) as rows 0..rows-1, then columns rows..rows+columns-1;
 * otherwise -1. */
KQAPI int32_t KQGETUNB(int32_t* j);
/* KQPIVOT: one simplex pivot; in (combined index) must be nonbasic (else message 425)
 * and moves away from its bound. out == in moves it to its other bound (message 426
 * when that is infinite); otherwise out must be basic with a pivot element of at least
 * ZTOLPV in magnitude (else message 426) and leaves at the bound it moves towards. The
 * solution in memory and attribute 2001 are recomputed. */
KQAPI int32_t KQPIVOT(int32_t in, int32_t out);
/* KQGETPIVOTS: the leaving candidates of the primal ratio test for in (as KQPIVOT),
 * without changing the basis. *npiv <- 0; unless the step is unbounded: *objval <- the
 * objective after the step, x (attribute 1002 values by combined index; may be null)
 * <- the values after it, and outlist (may be null) <- at most maxpiv candidates: the
 * limiting variable (in itself when it reaches its other bound first), then, while the
 * last one was basic, those that limit the step within ZTOLZE of the first once the
 * listed ones are set aside. Message 86 for a null npiv or objval. */
KQAPI int32_t KQGETPIVOTS(int32_t in, int32_t* outlist, double* x, double* objval, int32_t* npiv, int32_t maxpiv);
/* KQGETMAP / VNGETMAP: map[v] for every variable (attribute 1002 entries) <- the
 * combined index of the loaded problem's variable it stands for; the identity, as this
 * build has no presolve. Always returns 0. */
KQAPI int32_t KQGETMAP(int32_t* map);
KQAPI int32_t VNGETMAP(int32_t* map);

/* ---- Scaling ------------------------------------------------------------------------
 * KQSCALE: scales the loaded problem again as control IFSCAL says (0: no scaling),
 * as every load does. Rows and columns are multiplied by powers of two, so values read
 * back (KQGETOBJ, KQSOLUTION, ...) are exactly those given; the KQIGET... forms return
 * the scaled values. Returns 32 with message 91 when no problem is loaded, 32 with
 * message 268 while an optimisation or a global search is under way. */
KQAPI int32_t KQSCALE(void);

/* ---- Infeasibility analysis ---------------------------------------------------------
 * KQIISCON: searches the loaded, infeasible LP for irreducible infeasible sets (rows
 * and column bounds that are infeasible together but feasible once any one of them is
 * dropped) by relaxing them and re-solving with the primal simplex, and prints each set
 * (integer control NIIS: -1 every set, n > 0 at most n; others: message 340). When the
 * sets found leave a feasible rest, the members whose removal alone restores
 * feasibility (the rest of the sets set aside) are marked with '*'. The objective is
 * cleared for the analysis, so afterwards no problem is loaded; IFDUAL and ISHFMX are
 * left 0, every other control as it was. A feasible problem: message 330, return 0.
 * Returns 32 with message 91 when no problem is loaded; 4 with message 20 when a work
 * array does not fit. A negative MAXTIM bounds the whole analysis; a re-solve stopped
 * by it or by a console break ends it without the report (message 87). */
KQAPI int32_t KQIISCON(void);

/* ---- Basis files --------------------------------------------------------------------
 * KQBASISOUT: writes the current basis to file (null or empty: the problem name; ".bss"
 * appended when the name has no extension). Default layout: MPS basis (an optional NAME
 * line when IFBSNM is nonzero, " UL " lines for columns at upper bounds, " XU "/" XL "
 * lines pairing basic columns with nonbasic rows in order, ENDATA). options: "t" the
 * compact layout (a count line, then one character per row and column: 3 basic, 2 at
 * upper, 1 at lower, 80 to a line), "c" do nothing, "z" exchange XL and XU for equality
 * rows. The file is replaced only once written whole; 122 (return code 32) otherwise.
 * KQBASISIN: reads such a file and makes it the start of the next solve (IFNBAS 1).
 * Unknown columns (131), rows (132) and statuses at infinite bounds (4) are reported
 * and skipped; a line of another kind stops the read (message 9), as does a compact
 * file too short (176) or for another size (186); nothing is installed then (return
 * code 32). 122 when the file cannot be opened, 266 during a global search, 91 with no
 * problem. */
KQAPI int32_t KQBASISOUT(const char* file, const char* options);
KQAPI int32_t KQBASISIN(const char* file, const char* options);

/* ---- Range analysis -----------------------------------------------------------------
 * KQRANGE: ranges the optimal basis of the last LP and writes the range file
 * "<problem>.rng" (message 11 without an optimal LP, 179 with more than 32000 row
 * slots and columns, 122 when the file cannot be written; return code 32). For a
 * nonbasic variable: how far its activity can move down and up before a basic variable
 * reaches a bound (or it reaches its own other bound), for a basic one: how far its
 * objective coefficient can rise and fall with the basis staying optimal, and the
 * activity it reaches when the variable limiting that move enters. Activities of rows
 * are a.x.
 * KQCOLRANGE: per column, from the range file: upper activity limit, lower activity
 * limit, upper unit cost, lower unit cost, upper cost limit, lower cost limit (1.0e30
 * for none); null arrays are skipped. KQROWRANGE: per row, the first four. Both give
 * 122 (return code 32) when the range file cannot be read. Values are kept in single
 * precision. */
KQAPI int32_t KQRANGE(void);
KQAPI int32_t KQCOLRANGE(double* a1, double* a2, double* a3, double* a4, double* a5, double* a6);
KQAPI int32_t KQROWRANGE(double* a1, double* a2, double* a3, double* a4);

/* ---- Writing the problem and the solution -------------------------------------------
 * KQOUTPUT: writes the loaded problem as the MPS file <problem>.mat, in the caller's
 * units. Option letters: o one entry per line; p full-precision numbers (the file then
 * reads back bit for bit in the free layout, FREFMT 1, or with LENDBL 24); x each number
 * also as two hexadecimal words (not for reading back); n values as stored (scaled);
 * s generated names (VVVVVV12); c fixed columns left out, their values moved into the
 * right-hand sides and the objective constant. Names wider than 8 characters are written
 * in the wide layout, read back with the same NAMLEN. 91: no problem; 83: the file could
 * not be written (the previous one is kept); both with return code 32.
 * KQTOASC: writes <name>.hdr and <name>.asc from the solution file <name>.sol (name:
 * file, or the problem name when null or empty); the rows and columns whose names
 * match ASCMSK; option letters s n t b a c l u d r p f choose the fields (none: all but
 * p and f), q leaves out zero activities, e converts kept solutions so0, so1, ... too.
 * 91: no solution; 122: an unreadable solution file; 66, 67, 64: the analysis file of
 * p; 83: a file could not be written.
 * KQFPRINT: prints the solution into <problem>.prt (80: the file cannot be created;
 * 83: it could not be written, the previous one kept; 91: no solution). */
KQAPI int32_t KQOUTPUT(const char* options);
KQAPI int32_t KQTOASC(const char* file, const char* options);
KQAPI int32_t KQFPRINT(void);

/* ---- Global search --------------------------------------------------------------
 * KQGLOBAL: branch and bound over the global entities after an optimal LP (or the
 * letter 'g' of KQMAXIM/KQMINIM). A search stopped by MAXNOD, MAXSOL, MAXTIM, an
 * interrupt or IPACTN 2 goes on at the next call. Attributes: 1013 nodes, 1014 active
 * nodes, 1015 global status (3/4 running without/with a solution, 5/6 finished
 * without/with one: 6 is a proven optimum), 1016 node of the best solution, 1017
 * solutions; double 2003 best bound, 2004 best solution. Errors (32): 91 no optimised
 * problem, 11 the LP relaxation is not optimal. */
KQAPI int32_t KQGLOBAL(void);
/* KQGETEST: per-unit up and down degradation estimates of column j (1-based) from the
 * row prices of the last LP. Error (32): 405 not a column. */
KQAPI int32_t KQGETEST(int32_t j, double* up, double* down);
/* KQDELNODE: during a search (from its callbacks), removes active node `node`; mode 1
 * deletes it, other modes count it as cut off. The node being processed is abandoned.
 * Error (32): 432 no such node or no search. */
KQAPI int32_t KQDELNODE(int32_t node, int32_t mode);

/* ---- Cuts and the cut pool ------------------------------------------------------
 * The pool exists when IFCUTP is nonzero as the problem is read or loaded; MXCPOL
 * coefficient records, MXCPEL elements and 1.5 x MXCPOL entries (cuts and bounds). Pool
 * entries are numbered from IFDBG (1 for these C entry points: the first entry is 1);
 * columns are 0-based as everywhere. Row types 'L', 'G', 'E'; start offsets have one
 * entry more than the cuts. Cut rows go at the end of the rows, in the spare rows and
 * elements reserved at load (NRXTRA, NMXTRA); integer attribute 1012 counts them.
 * Filters (itype, interp): interp 1 cut type equal to itype, 2 any bit of itype, 3 all
 * bits, anything else every cut. The cut managers (KQDEFINETCMENTRY after the LP
 * relaxation, KQDEFINECMENTRY at every optimal node of the search) may call all of
 * these; a nonzero answer asks for another round after the LP is re-solved. Before
 * each call integer attribute 1022 holds the number of global entities the LP solution
 * leaves unsatisfied.
 * KQADDCUTS: cuts straight into the LP (a type each); moved into the pool after the
 *   round. 413 no spare row, 415 no spare elements, 401 row type, 405 column, 423 a
 *   column repeated.
 * KQSTORECUTS: stores cuts, mindex receives their entries; a cut stored before (also
 *   scaled) returns its entry. mode 1 also returns a stored cut that dominates, mode 2
 *   matches only cuts of the same type. 419 pool full, 424 element space full.
 * KQSTOREBNDS: bound entries ('L' lower, 'U' upper; |value| >= 1e29 infinite). 416.
 * KQLOADCUTS: pool cuts into the LP (ncuts -1: every cut passing the filter). 418.
 * KQDELCUTS: removes LP cuts (indices 0-based among the cut rows; -1 all) passing the
 *   filter whose slack (sign of the row type) is at least delta; nonbasic ones only
 *   with ibasis 0 and delta <= 0. 402 index, 422 the LP changed since it was solved.
 * KQDROPCUTS: frees pool entries (-1: all) that no LP and no stored node holds. 418.
 * KQGETCNLIST: entries of the LP's cuts (0 for cuts added directly), count may exceed
 *   size. KQGETCPLIST: pool cuts violated by the current solution by more than delta
 *   (+ ZTOLDA), with the violation over the first coefficient.
 * KQGETCUTS: the stored cuts (a bound entry reads as a one-element cut). 417 size.
 * KQBRANCHCUT: entries the children of the current node inherit (bounds as bound
 *   changes, cuts as rows). */
KQAPI int32_t KQADDCUTS(int32_t ncuts, const int32_t* mtype, const char* qrtype, const double* drhs,
                        const int32_t* mstart, const int32_t* mcols, const double* dmatval);
KQAPI int32_t KQSTORECUTS(int32_t mode, int32_t ncuts, const int32_t* mtype, const char* qrtype, const double* drhs,
                          const int32_t* mstart, int32_t* mindex, const int32_t* mcols, const double* dmatval);
KQAPI int32_t KQSTOREBNDS(int32_t nbnds, const char* qbtype, const int32_t* mcols, const double* dbds,
                          int32_t* mindex);
KQAPI int32_t KQLOADCUTS(int32_t itype, int32_t interp, int32_t ncuts, const int32_t* mindex);
KQAPI int32_t KQDELCUTS(int32_t ibasis, int32_t itype, int32_t interp, double delta, int32_t ncuts,
                        const int32_t* mindex);
KQAPI int32_t KQDROPCUTS(int32_t itype, int32_t interp, int32_t ncuts, const int32_t* mindex);
KQAPI int32_t KQGETCNLIST(int32_t itype, int32_t interp, int32_t* ncuts, int32_t size, int32_t* mindex);
KQAPI int32_t KQGETCPLIST(int32_t itype, int32_t interp, double delta, int32_t size, int32_t* ncuts, int32_t* mindex,
                          double* dviol);
KQAPI int32_t KQGETCUTS(const int32_t* mindex, int32_t ncuts, int32_t size, char* qrtype, double* drhs,
                        int32_t* mstart, int32_t* mcols, double* dmatval);
KQAPI int32_t KQBRANCHCUT(int32_t n, const int32_t* mindex);

/* ---- Directives file --------------------------------------------------------------
 * KQDIRECTIVES: reads branching directives for the global entities from the file name
 * (the problem name when null or empty; ".dir" appended when it has no extension).
 * Every entity first returns to priority 500, no direction and pseudo-costs RTOLPS, so
 * the file replaces earlier directives. One directive a line, '*' lines are comments:
 * PR priority (0..1000, rounded), UP / DN the branch taken first, PU / PD the up and down
 * pseudo-costs. Fixed layout (FREFMT 0): the type in columns 1-4 (" PR "), the name from
 * column 5, the value from column 25 (with NAMLEN 8); free layout: type, name, value.
 * Names are column names or set names; '?' matches one character, '*' the rest.
 * Errors (32): 91 no problem or no entities, 287 during a search or presolved, 38 the
 * file does not open. Warnings, the line ignored: 142 unknown type, 143 unknown name,
 * 76 priority out of range; 314 an invalid number stops the reading. */
KQAPI int32_t KQDIRECTIVES(const char* name);

/* ---- Range files in text ------------------------------------------------------------
 * KQRTOASC: from the range file <name>.rng (name: file, or the problem name when null or
 * empty) writes <name>.hdr as KQTOASC does and <name>.rsc: per row and column whose name
 * matches ASCMSK (only '?' a wildcard), the fields chosen by the letters s n t b a c
 * (none: all six), then the lower activity limit, lower unit cost, upper cost limit,
 * limiting variable and its status (LL/UL), upper activity limit, upper unit cost, lower
 * cost limit, limiting variable and its status. 91: no range file; 122: an unreadable
 * one; 83: a file could not be written (the previous one kept); return code 32.
 * KQFRPRINT: prints the ranges into <problem>.rrt, two lines per variable (80: the file
 * cannot be created; 83: it could not be written; 122: no range file for the problem). */
KQAPI int32_t KQRTOASC(const char* file, const char* options);
KQAPI int32_t KQFRPRINT(void);

#ifdef __cplusplus
}
#endif

#endif /* KQOPT_H */
