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

/* ---- Output ------------------------------------------------------------------------
 * The output callback receives every output line with its message class, and
 * (NULL, 0, -1) when a run of output is complete. A null pointer unregisters it. */
KQAPI int32_t KQDEFINEUOPENTRY(KQOutputCallback callback);
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

#ifdef __cplusplus
}
#endif

#endif /* KQOPT_H */
