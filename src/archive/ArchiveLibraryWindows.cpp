#include <windows.h>

#include "archive/ArchiveLibrary.h"

ArchiveLibrary::ArchiveLibrary() = default;

ArchiveLibrary::~ArchiveLibrary() { Free(); }

bool ArchiveLibrary::Load() {
  // The bare file name: Windows searches the program's own folder first,
  // where lmpqapi.dll is shipped, then the system's folders and PATH.
  if (!m_module) m_module = LoadLibraryA(kBareName);
  return m_module != nullptr;
}

void ArchiveLibrary::Free() {
  if (m_module) FreeLibrary(static_cast<HMODULE>(m_module));
  m_module = nullptr;
}

bool ArchiveLibrary::IsLoaded() const { return m_module != nullptr; }

QFunctionPointer ArchiveLibrary::EntryByOrdinal(int ordinal) {
  if (!m_module) return nullptr;
  // An ordinal goes to GetProcAddress in place of a name: a value below
  // 0x10000 in the name pointer's low word.
  const FARPROC entry = GetProcAddress(static_cast<HMODULE>(m_module), MAKEINTRESOURCEA(ordinal));
  return reinterpret_cast<QFunctionPointer>(entry);
}
