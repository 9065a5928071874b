#pragma once
// The bytes of a loaded sheet file: the file mapped into memory where that is
// safe (see MappedFile), else a copy read into a buffer. Either way they stay
// exactly what the file held when it was loaded, whatever happens to the
// file afterwards, and where they are.
#include <QByteArray>
#include <QByteArrayView>

#include "platform/MappedFile.h"

class FileBytes {
 public:
  FileBytes() = default;
  // Bytes already in memory (a file read whole, or text made by a test).
  FileBytes(QByteArray bytes) : m_copy(std::move(bytes)) {}  // NOLINT: implicit on purpose
  explicit FileBytes(MappedFile mapped) : m_mapped(std::move(mapped)) {}

  QByteArrayView view() const { return m_mapped.bytes().isNull() ? QByteArrayView(m_copy) : m_mapped.bytes(); }
  qsizetype size() const { return view().size(); }
  bool isEmpty() const { return view().isEmpty(); }
  // Still the file's own pages in the page cache, not a copy.
  bool sharesFilePages() const { return m_mapped.sharesFilePages(); }
  // The file is still open: mapped bytes not yet let go of.
  bool holdsFile() const { return m_mapped.holdsFile(); }
  // One step of letting go of a mapped file (MappedFile::letGoStep); false
  // once there is nothing left to do.
  bool letGoStep(std::size_t bytes) { return m_mapped.letGoStep(bytes); }

 private:
  QByteArray m_copy;
  MappedFile m_mapped;
};
