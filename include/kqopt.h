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
 * after each iteration-log line, after such a flush notice. The global-search,
 * barrier, node and cut-manager callbacks are registered now and called once those
 * methods are part of the library. */
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
 * entities. This build solves every LP by the primal simplex and has no global search
 * ('g' reports message 499, return code 32, after the LP). Afterwards integer
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

#ifdef __cplusplus
}
#endif

#endif /* KQOPT_H */
