#pragma once
// A file mapped into memory read-only, as it is in the page cache: opening a
// large file this way touches no fresh memory, which is what reading it into
// a buffer costs most.
//
// A plain mapping would follow the file: another program that cuts it short
// would make reading the lost pages crash the process (SIGBUS), and one that
// rewrites it would change what the mapping holds. So a file is only mapped
// together with a read lease: before anyone may open the file for writing or
// truncate it, the kernel tells this process, which then copies the mapped
// bytes into private memory at the same address and gives up the lease. The
// bytes never change and stay where they are. Where no lease can be had (a
// file of another user, a network file system, a writer that already has the
// file open), Map() fails and the caller reads the file instead.
#include <QByteArrayView>
#include <QString>

class MappedFile {
 public:
  MappedFile() = default;
  MappedFile(MappedFile&& other) noexcept;
  MappedFile& operator=(MappedFile&& other) noexcept;
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;
  ~MappedFile();

  // Maps the whole file under a read lease; false (and nothing held) when
  // the file is empty, no lease can be had, or it cannot be mapped.
  bool map(const QString& path);

  QByteArrayView bytes() const { return QByteArrayView(static_cast<const char*>(m_data), m_size); }
  // True while the bytes are still the file's pages; false once they have
  // been copied (a writer came) or when nothing is mapped.
  bool sharesFilePages() const;

 private:
  void release();

  void* m_data = nullptr;
  qsizetype m_size = 0;
  int m_slot = -1;  // this mapping's entry in the table the lease signal reads
};
