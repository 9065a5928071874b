#pragma once
// A copy of a file, made beside it, that takes its place only when complete:
// written and synced, then renamed over the original, then the folder synced.
// Until then the original is untouched, so a process killed at any moment
// leaves either the old file or the new one, each whole.
//
// A copy is named "<file>.lmpqapi-<pid>.tmp" and locked while its maker runs;
// one whose maker has gone (killed half-way) is removed by the next worker
// that opens the same file.
#include <sys/stat.h>

#include <string>

class ReplacementFile {
 public:
  ReplacementFile() = default;
  ~ReplacementFile();  // removes a copy that was not committed
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  // Removes the copies of `target` that no running process holds.
  static void RemoveLeftovers(const std::string& target);

  // Copies `target` beside it. False, with nothing left behind, when the
  // folder takes no new file or the copy cannot be written whole.
  bool CreateFrom(const std::string& target);
  const std::string& path() const { return m_path; }

  // Syncs the copy, gives it the original's permissions and renames it over
  // the original, then syncs the folder. False when any step fails; the
  // copy is then removed and the original left as it was.
  bool Commit();
  // Removes the copy.
  void Discard();

 private:
  std::string m_target;
  std::string m_path;
  struct stat m_original {};  // the target's owner and mode, for the copy
  int m_fd = -1;  // holds the lock that marks the copy as in use
};
