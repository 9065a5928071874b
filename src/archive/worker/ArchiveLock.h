#pragma once
// One writer at a time: the archive open for update, under an advisory lock
// that our workers take for the whole of an update, from open to close. A
// second writer waits for the first to finish and then works on the archive
// as the first left it. Other programs (archive tools, the game) take no
// such lock.
#include <string>

class ArchiveLock {
 public:
  ArchiveLock() = default;
  ~ArchiveLock();  // releases the lock
  ArchiveLock(const ArchiveLock&) = delete;
  ArchiveLock& operator=(const ArchiveLock&) = delete;

  // Opens `path` for update and waits for the lock, telling the library that
  // it waits. False when the file does not open, or the wait outlasts any
  // update (a writer that has stopped for good).
  bool Acquire(const std::string& path);
  int fd() const { return m_fd; }

 private:
  int m_fd = -1;
};
