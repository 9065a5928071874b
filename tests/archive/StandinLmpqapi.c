/* A stand-in for the archive library. INIT_RESULT and OPEN_RESULT fix what
 * initialise and open return; WITHOUT_ADD leaves the add entry out. Every
 * call is appended, with its arguments, to the file named by
 * LMPQAPI_STANDIN_LOG. */
#define LMPQAPI_BUILD
#include "archive/lmpqapi.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>

static void Record(const char* format, ...) __attribute__((format(printf, 1, 2)));

static void Record(const char* format, ...) {
  const char* path = getenv("LMPQAPI_STANDIN_LOG");
  FILE* log = path ? fopen(path, "a") : NULL;
  if (!log) return;
  va_list args;
  va_start(args, format);
  vfprintf(log, format, args);
  va_end(args);
  fputc('\n', log);
  fclose(log);
}

LMPQ_EXPORT uint32_t LMPQ_CALL LmpqInitialize(void) {
  Record("initialise");
  return INIT_RESULT;
}

LMPQ_EXPORT uint32_t LMPQ_CALL LmpqOpenArchive(const char* path, uint32_t mode, uint32_t maxFiles) {
  Record("open %s %u %u", path, mode, maxFiles);
  return OPEN_RESULT;
}

#ifndef WITHOUT_ADD
LMPQ_EXPORT uint32_t LMPQ_CALL LmpqAddFile(uint32_t handle, const char* file, const char* nameInArchive,
                                           uint32_t flags) {
  Record("add %u %s %s 0x%08X", handle, file, nameInArchive, flags);
  return 1;
}
#endif

LMPQ_EXPORT uint32_t LMPQ_CALL LmpqCloseArchive(uint32_t handle, uint32_t flags) {
  Record("close %u %u", handle, flags);
  return 1;
}
