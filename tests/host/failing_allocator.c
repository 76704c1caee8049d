/* Preloaded into the host by failing_allocator.sh: the FAILALLOC_AT-th call of
   malloc/calloc/realloc (counted from process start) returns NULL. FAILALLOC_COUNT=1
   prints the number of calls made instead, at exit, so that the script can try every k. */
#define _GNU_SOURCE
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>
extern void *__libc_malloc(size_t);
extern void *__libc_calloc(size_t, size_t);
extern void *__libc_realloc(void *, size_t);
static long calls, fail_at = -1;
static int counting, ready;
static void set_up(void) {
  const char *at = getenv("FAILALLOC_AT"), *count = getenv("FAILALLOC_COUNT");
  ready = 1;
  if (at) fail_at = atol(at);
  counting = count && *count == '1';
}
static int fail_now(void) {
  if (!ready) set_up();
  return ++calls == fail_at;
}
void *malloc(size_t n) { return fail_now() ? NULL : __libc_malloc(n); }
void *calloc(size_t a, size_t b) { return fail_now() ? NULL : __libc_calloc(a, b); }
void *realloc(void *p, size_t n) { return fail_now() ? NULL : __libc_realloc(p, n); }
__attribute__((destructor)) static void report(void) {
  if (!counting) return;
  char text[64];
  int length = snprintf(text, sizeof text, "failalloc calls %ld\n", calls);
  if (write(2, text, (size_t)length) < 0) return;
}
