#pragma once
// Whether a file is marked writable: any write bit in its mode, for owner,
// group or others. Not whether this process may write it: root may write any
// file, yet one marked read-only stays read-only. Free of Qt, for the
// archive worker as for the editor.
#include <filesystem>

inline constexpr bool MarkedWritable(std::filesystem::perms mode) {
  using std::filesystem::perms;
  return (mode & (perms::owner_write | perms::group_write | perms::others_write)) != perms::none;
}
