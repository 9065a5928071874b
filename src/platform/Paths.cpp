#include "platform/Paths.h"

#include <string_view>

#include "platform/PathSplit.h"

namespace {
constexpr std::string_view kSeparators(&kPathSeparator, 1);

std::u16string_view View(const QString& path) {
  return {reinterpret_cast<const char16_t*>(path.utf16()), static_cast<size_t>(path.size())};
}
}  // namespace

QString DirectoryOf(const QString& path) {
  const size_t separator = pathsplit::LastSeparator(View(path), kSeparators);
  return separator == pathsplit::kNone ? QString() : path.left(static_cast<qsizetype>(separator));
}

QString FileTitleOf(const QString& path) {
  const size_t separator = pathsplit::LastSeparator(View(path), kSeparators);
  return separator == pathsplit::kNone ? path : path.mid(static_cast<qsizetype>(separator) + 1);
}
