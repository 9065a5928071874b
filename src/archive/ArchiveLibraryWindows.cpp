#include <windows.h>

#include "archive/ArchiveLibrary.h"

namespace {
// The bare name the loader searches for.
constexpr const char* kBareName = "lmpqapi.dll";
}  // namespace

struct ArchiveLibrary::Native {
  HMODULE module = nullptr;
};

ArchiveLibrary::ArchiveLibrary() : m_native(std::make_unique<Native>()) {}

ArchiveLibrary::~ArchiveLibrary() { Free(); }

bool ArchiveLibrary::Load() {
  // The bare file name: Windows searches the program's own folder first,
  // where lmpqapi.dll is shipped, then the system's folders and PATH.
  if (!m_native->module) m_native->module = LoadLibraryA(kBareName);
  return m_native->module != nullptr;
}

void ArchiveLibrary::Free() {
  if (m_native->module) FreeLibrary(m_native->module);
  m_native->module = nullptr;
}

bool ArchiveLibrary::IsLoaded() const { return m_native->module != nullptr; }

QFunctionPointer ArchiveLibrary::EntryByOrdinal(int ordinal) {
  if (!m_native->module) return nullptr;
  // An ordinal goes to GetProcAddress in place of a name: a value below
  // 0x10000 in the name pointer's low word.
  const FARPROC entry = GetProcAddress(m_native->module, MAKEINTRESOURCEA(ordinal));
  return reinterpret_cast<QFunctionPointer>(entry);
}
