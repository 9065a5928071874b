// A stand-in for the archive library that prints every call with its
// arguments. INIT_RESULT and OPEN_RESULT fix what initialise and open return;
// NO_CLOSE leaves the close entry out.
#define LMPQAPI_BUILD
#include <stdio.h>

#include "archive/lmpqapi.h"

LMPQ_EXPORT uint32_t LMPQ_CALL LmpqInitialize(void) {
  puts("initialise");
  return INIT_RESULT;
}

LMPQ_EXPORT uint32_t LMPQ_CALL LmpqOpenArchive(const char* path, uint32_t mode, uint32_t maxFiles) {
  printf("open %s %u %u\n", path, mode, maxFiles);
  return OPEN_RESULT;
}

LMPQ_EXPORT uint32_t LMPQ_CALL LmpqAddFile(uint32_t mpq, const char* file, const char* name, uint32_t flags) {
  printf("add %u %s %s 0x%08X\n", mpq, file, name, flags);
  return 1;
}

#ifndef NO_CLOSE
LMPQ_EXPORT uint32_t LMPQ_CALL LmpqCloseArchive(uint32_t handle, uint32_t flags) {
  printf("close %u %u\n", handle, flags);
  return 1;
}
#endif
