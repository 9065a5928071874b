#pragma once
// Large buffers that are filled once, front to back (a whole file, the index
// of its lines), cost one page fault per 4 KB when first written. Asking the
// kernel for huge pages before that makes it one fault per 2 MB.
#include <cstddef>

// Advises huge pages for the 2 MB-aligned part of [data, data + bytes). The
// contents do not change; where the system has no such advice, nothing happens.
void AdviseHugePages(void* data, std::size_t bytes);
