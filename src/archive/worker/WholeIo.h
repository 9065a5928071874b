#pragma once
// Whole reads and writes on a file descriptor: a call cut short, by a signal
// or by how much a pipe takes at a time, goes on for the rest.
#include <unistd.h>

#include <cerrno>
#include <cstddef>

namespace wholeio {

// Calls `step(done, left)`, a read or write of up to `left` bytes after the
// `done` ones, until `size` bytes are through. False at an error, or at the
// end of the input, before then.
template <typename Step>
bool Through(size_t size, Step step) {
  for (size_t done = 0; done < size;) {
    const ssize_t n = step(done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

inline bool ReadWhole(int fd, char* into, size_t size) {
  return Through(size, [&](size_t done, size_t left) { return read(fd, into + done, left); });
}

inline bool WriteWhole(int fd, const char* from, size_t size) {
  return Through(size, [&](size_t done, size_t left) { return write(fd, from + done, left); });
}

}  // namespace wholeio
