#pragma once
// A path's folder is everything before its last separator, its name
// everything after it. Free of Qt, so that the archive worker splits paths
// by the same rule as the editor; the separators are the caller's.
#include <cstddef>
#include <string_view>

namespace pathsplit {

inline constexpr std::size_t kNone = std::string_view::npos;

// Where the last of `separators` (ASCII) stands in `path`; kNone when none does.
template <class Char>
constexpr std::size_t LastSeparator(std::basic_string_view<Char> path, std::string_view separators) {
  for (std::size_t at = path.size(); at-- > 0;) {
    const auto unit = static_cast<unsigned long>(path[at]);
    if (unit < 0x80 && separators.find(static_cast<char>(unit)) != std::string_view::npos) return at;
  }
  return kNone;
}

// Before the last separator; empty when there is none.
template <class Char>
constexpr std::basic_string_view<Char> FolderPart(std::basic_string_view<Char> path, std::string_view separators) {
  const std::size_t at = LastSeparator(path, separators);
  return at == kNone ? std::basic_string_view<Char>() : path.substr(0, at);
}

// After the last separator; the whole path when there is none.
template <class Char>
constexpr std::basic_string_view<Char> NamePart(std::basic_string_view<Char> path, std::string_view separators) {
  const std::size_t at = LastSeparator(path, separators);
  return at == kNone ? path : path.substr(at + 1);
}

}  // namespace pathsplit
