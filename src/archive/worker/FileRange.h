#pragma once
// Copying part of one file into another, with progress reported as it goes,
// so that a large archive never looks like a stalled worker.
#include <cstdint>

// Copies `size` bytes at `at` of `from` to the same place in `to`. False at
// a read or write error, or when `from` ends first.
bool CopyRange(int from, int to, uint64_t at, uint64_t size);
// Gets what was written to the file onto the disk, the file's size with it;
// `from` and `to` bound what was written.
bool SyncFile(int fd, uint64_t from, uint64_t to);
