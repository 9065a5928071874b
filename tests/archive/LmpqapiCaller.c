/* lmpqapi_caller <library> <archive> <file> <name>: one add through the
 * archive library's four entries, as the program makes it; prints what each
 * entry returned. The tests kill it half-way, as a user might kill the editor. */
#define LMPQAPI_BUILD
#include <dlfcn.h>
#include <stdio.h>

#include "archive/lmpqapi.h"

int main(int argc, char* argv[]) {
  if (argc != 5) return 2;
  void* library = dlopen(argv[1], RTLD_NOW);
  if (!library) return 3;
  LmpqInitializeFn initialize = (LmpqInitializeFn)dlsym(library, LMPQ_NAME_INITIALIZE);
  LmpqOpenArchiveFn open = (LmpqOpenArchiveFn)dlsym(library, LMPQ_NAME_OPEN_ARCHIVE);
  LmpqAddFileFn add = (LmpqAddFileFn)dlsym(library, LMPQ_NAME_ADD_FILE);
  LmpqCloseArchiveFn close = (LmpqCloseArchiveFn)dlsym(library, LMPQ_NAME_CLOSE_ARCHIVE);
  const uint32_t ready = initialize();
  const uint32_t handle = ready == 1 ? open(argv[2], 5, 20000) : 0;
  const uint32_t added = handle ? add(handle, argv[3], argv[4], 0x00010201) : 0;
  const uint32_t closed = handle ? close(handle, 0) : 0;
  printf("initialise %u open %u add %u close %u\n", ready, handle, added, closed);
  dlclose(library);
  return 0;
}
