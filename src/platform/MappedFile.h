#pragma once
// A file mapped into memory read-only, as it is in the page cache: opening a
// large file this way touches no fresh memory, which is what reading it into
// a buffer costs most, so a sheet shows at once.
//
// The mapping is only the way in: the file is the user's again moments
// later. letGoStep() copies the mapped pages, a stretch at a time, into
// private memory that takes their place at the same addresses; once every
// page is private, the file is closed. Nothing of the process then holds it:
// its disk can be unmounted, and other programs write it as they please.
//
// Until then a plain mapping would follow the file: another program that cuts
// it short would make reading the lost pages crash the process (SIGBUS), and
// one that rewrites it would change what the mapping holds. So a file is only
// mapped together with a read lease: before anyone may open the file for
// writing or truncate it, the kernel tells this process, which then copies
// the rest of the pages at once and gives up the lease. The bytes never
// change, never mix two versions of the file, and stay where they are. Where
// no lease can be had (a file of another user, a network file system, a
// writer that already has the file open), map() fails and the caller reads
// the file instead.
//
// The lease signal goes to the thread that mapped the file: map(),
// letGoStep() and the destructor belong on that thread.
#include <QByteArrayView>
#include <QString>
#include <cstddef>

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
  // True while some of the bytes are still the file's pages.
  bool sharesFilePages() const;
  // True while the file is open (and leased), that is until letGoStep() has
  // let it go.
  bool holdsFile() const { return m_slot >= 0; }

  // Copies up to `bytes` more of the file's pages (whole 2 MB stretches) into
  // private memory in their place; with every page private, closes the file
  // and gives up the lease. False once there is nothing left to do: the file
  // is let go (or was never held), or its pages cannot be moved.
  bool letGoStep(std::size_t bytes);

 private:
  void release();

  void* m_data = nullptr;
  qsizetype m_size = 0;
  std::size_t m_length = 0;  // of the mapping: the size rounded up to whole pages
  int m_slot = -1;           // this file's entry in the table the lease signal reads
};
