/* The public header used from C, against the shared library: the lifecycle, control
 * and output entry points behave as documented. Exits non-zero on the first failure. */
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "kqopt.h"

static int lines_seen = 0;
static int notices_seen = 0;

static void on_line(const char* text, int32_t length, int32_t message_class) {
  (void)message_class;
  if (text == NULL && length == 0) {
    ++notices_seen;
    return;
  }
  ++lines_seen;
}

#define CHECK(cond)                                                            \
  do {                                                                         \
    if (!(cond)) {                                                             \
      fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
      return 1;                                                                \
    }                                                                          \
  } while (0)

int main(void) {
  int32_t v = 0;
  double d = 0;
  char text[65];
  char log_name[256];
  FILE* log;

  CHECK(KQINITLZ(KQOPT_MSG_DIR, 0) == 0);
  CHECK(KQSETPROB(NULL) == 32);
  CHECK(KQGETIPV(1023, &v) == 0 && v == 86);
  CHECK(KQGETPROB(text) == 0 && strcmp(text, "$$$$$$$$") == 0);
  CHECK(KQSETPROB("abc") == 0 && KQGETPROB(text) == 0 && strcmp(text, "abc") == 0);

  CHECK(KQSETICV(136, 0) == 32);
  CHECK(KQGETIPV(1023, &v) == 0 && v == 412);
  CHECK(KQSETICV(135, 0) == 0);
  CHECK(KQSETICV(1, 5) == 32);
  CHECK(KQGETIPV(1023, &v) == 0 && v == 180);
  CHECK(KQGETDCV(3, &d) == 0 && d == nextafter(1.0e-6, 1.0));
  CHECK(KQGETDCV(12, &d) == 0 && d == (double)(-1.0e-5f));
  CHECK(KQSETCCV(5, "ABCDEFGHIJ") == 0);
  CHECK(KQGETCCV(5, text) == 0 && strcmp(text, "ABCDEFGH") == 0);

  snprintf(log_name, sizeof log_name, "kqopt-c-check-%d.log", (int)getpid());
  remove(log_name);
  CHECK(KQDEFINEUOPENTRY(on_line) == 0);
  CHECK(KQSETOPTLOG(log_name) == 0);
  CHECK(KQSETICV(0, 1) == 32); /* prints the argument error report */
  CHECK(lines_seen == 1);
  CHECK(KQINITLZ(KQOPT_MSG_DIR, 0) == 0); /* ends with a flush notice... */
  CHECK(KQDEFINEUOPENTRY(on_line) == 0);  /* ...but resets the callbacks first */
  CHECK(KQSETICV(0, 1) == 32);
  CHECK(lines_seen == 2);
  log = fopen(log_name, "r");
  CHECK(log != NULL);
  CHECK(fgets(text, sizeof text, log) != NULL && strstr(text, "seticv") != NULL);
  fclose(log);
  CHECK(KQSETOPTLOG(NULL) == 0);
  remove(log_name);
  CHECK(KQFREEXO() == 0);
  printf("c api check passed\n");
  return 0;
}
