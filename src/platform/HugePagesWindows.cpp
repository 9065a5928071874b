#include "platform/HugePages.h"

// Windows gives large pages only to programs holding a privilege that users
// do not have: buffers keep their ordinary pages.
void AdviseHugePages(void*, std::size_t) {}
