#include "platform/MappedFile.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <mutex>

#include <QFile>

#include "platform/HugePages.h"

namespace {
// The signal the kernel sends when a writer wants the file; a real-time
// signal carries the file descriptor with it.
int leaseSignal() { return SIGRTMIN + 7; }

// Huge pages back only 2 MB-aligned stretches, and a move keeps them whole
// only between such boundaries: the mapping and its private copy both start
// on one, and the copy goes over in whole 2 MB stretches.
constexpr size_t kHugePage = size_t{2} << 20;

size_t roundUp(size_t n, size_t unit) { return (n + unit - 1) / unit * unit; }

// Files the signal handler may have to copy. A fixed table: the handler may
// not allocate, and a process holds only a few sheets.
struct Slot {
  std::atomic<int> fd{-1};
  char* data = nullptr;  // the bytes' addresses: the file's pages, then private ones
  char* copy = nullptr;  // the private memory that takes their place, as long
  size_t length = 0;     // of both: whole pages
  size_t size = 0;       // of the file
  std::atomic<size_t> copied{0};  // from the start: what is private already
};
constexpr int kSlots = 32;
Slot g_slots[kSlots];
std::mutex g_slotsInUse;  // taking and giving back slots, outside the handler

// Copies the next `bytes` (whole 2 MB stretches) of the file's pages into
// their private memory and moves that over them, at the same addresses, so
// every pointer into the bytes stays good. System calls and memcpy only: the
// signal handler runs it too. False when the memory cannot be moved.
bool copyStretch(Slot& slot, size_t bytes) {
  const size_t at = slot.copied.load();
  const size_t end = std::min(slot.length, at + roundUp(bytes, kHugePage));
  if (end <= at) return true;
  std::memcpy(slot.copy + at, slot.data + at, std::min(end, slot.size) - at);
  mprotect(slot.copy + at, end - at, PROT_READ);
  if (mremap(slot.copy + at, end - at, end - at, MREMAP_MAYMOVE | MREMAP_FIXED, slot.data + at) == MAP_FAILED)
    return false;
  slot.copied.store(end);
  return true;
}

// A writer is waiting: everything not yet private is copied at once, then
// the writer may go on. Closing the file is left to the next letGoStep(), on
// the thread that owns the slot.
void onLeaseBreak(int, siginfo_t* info, void*) {
  const int savedErrno = errno;
  for (Slot& slot : g_slots) {
    if (slot.fd.load() == info->si_fd) {
      copyStretch(slot, slot.length);
      fcntl(info->si_fd, F_SETLEASE, F_UNLCK);
      break;
    }
  }
  errno = savedErrno;
}

void installHandler() {
  static std::once_flag once;
  std::call_once(once, [] {
    struct sigaction action {};
    action.sa_sigaction = onLeaseBreak;
    action.sa_flags = SA_SIGINFO | SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(leaseSignal(), &action, nullptr);
  });
}

// Leases are kept by the local kernel: only file systems whose every write
// passes through it can promise that a writer is announced.
bool isLocalFileSystem(int fd) {
  struct statfs fs {};
  if (fstatfs(fd, &fs) != 0) return false;
  switch (static_cast<unsigned long>(fs.f_type)) {
    case EXT4_SUPER_MAGIC:  // ext2, ext3 and ext4 share it
    case XFS_SUPER_MAGIC:
    case BTRFS_SUPER_MAGIC:
    case TMPFS_MAGIC:
    case F2FS_SUPER_MAGIC:
      return true;
    default:
      return false;
  }
}

// Fresh memory of `length` bytes that starts on a 2 MB boundary.
char* alignedArea(size_t length, int protection) {
  const size_t padded = length + kHugePage;
  void* raw = mmap(nullptr, padded, protection, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) return nullptr;
  const auto start = reinterpret_cast<std::uintptr_t>(raw);
  const std::uintptr_t aligned = roundUp(start, kHugePage);
  if (aligned > start) munmap(raw, aligned - start);
  if (start + padded > aligned + length) munmap(reinterpret_cast<void*>(aligned + length), start + padded - aligned - length);
  return reinterpret_cast<char*>(aligned);
}

// Keeps the lease signal away from this thread while the table changes or a
// stretch is copied, so that the handler never sees a half-done one.
class SignalBlock {
 public:
  SignalBlock() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, leaseSignal());
    pthread_sigmask(SIG_BLOCK, &set, &m_previous);
  }
  ~SignalBlock() { pthread_sigmask(SIG_SETMASK, &m_previous, nullptr); }

 private:
  sigset_t m_previous;
};

// Gives the slot back: the lease, the file and the private memory not used.
void freeSlot(Slot& slot) {
  const int fd = slot.fd.exchange(-1);
  fcntl(fd, F_SETLEASE, F_UNLCK);
  close(fd);
  const size_t copied = slot.copied.load();
  if (copied < slot.length) munmap(slot.copy + copied, slot.length - copied);
}
}  // namespace

bool MappedFile::map(const QString& path) {
  release();
  installHandler();
  const int fd = open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  std::lock_guard lock(g_slotsInUse);
  SignalBlock block;
  int slot = 0;
  while (slot < kSlots && g_slots[slot].fd.load() >= 0) ++slot;
  struct f_owner_ex owner {F_OWNER_TID, static_cast<pid_t>(gettid())};  // the thread that reads the bytes
  struct stat status {};
  // The lease comes first: once it is held, the size read next cannot change
  // before this process is told.
  if (slot == kSlots || !isLocalFileSystem(fd) || fcntl(fd, F_SETSIG, leaseSignal()) != 0 ||
      fcntl(fd, F_SETOWN_EX, &owner) != 0 || fcntl(fd, F_SETLEASE, F_RDLCK) != 0) {
    close(fd);
    return false;
  }
  const size_t size = fstat(fd, &status) == 0 && S_ISREG(status.st_mode) ? static_cast<size_t>(status.st_size) : 0;
  const size_t length = roundUp(size, static_cast<size_t>(sysconf(_SC_PAGESIZE)));
  // The private copy's memory is had now, untouched: a file that cannot have
  // it is read instead, and the signal handler never has to ask for memory.
  char* data = length ? alignedArea(length, PROT_NONE) : nullptr;
  char* copy = data ? alignedArea(length, PROT_READ | PROT_WRITE) : nullptr;
  // Populated at once: one call sets up every page instead of a fault for each.
  if (!copy || mmap(data, length, PROT_READ, MAP_PRIVATE | MAP_FIXED | MAP_POPULATE, fd, 0) == MAP_FAILED) {
    if (data) munmap(data, length);
    if (copy) munmap(copy, length);
    fcntl(fd, F_SETLEASE, F_UNLCK);
    close(fd);
    return false;
  }
  AdviseHugePages(copy, length);
  Slot& entry = g_slots[slot];
  entry.data = data;
  entry.copy = copy;
  entry.length = length;
  entry.size = size;
  entry.copied.store(0);
  entry.fd.store(fd);
  m_data = data;
  m_size = static_cast<qsizetype>(size);
  m_length = length;
  m_slot = slot;
  return true;
}

bool MappedFile::sharesFilePages() const { return m_slot >= 0 && g_slots[m_slot].copied.load() < m_length; }

bool MappedFile::letGoStep(size_t bytes) {
  if (m_slot < 0) return false;
  std::lock_guard lock(g_slotsInUse);
  SignalBlock block;
  Slot& slot = g_slots[m_slot];
  if (!copyStretch(slot, bytes)) return false;  // the file stays mapped, under its lease, as it was
  if (slot.copied.load() < slot.length) return true;
  freeSlot(slot);
  m_slot = -1;
  return false;
}

void MappedFile::release() {
  if (m_slot >= 0) {
    std::lock_guard lock(g_slotsInUse);
    SignalBlock block;
    freeSlot(g_slots[m_slot]);
    m_slot = -1;
  }
  if (m_data) munmap(m_data, m_length);
  m_data = nullptr;
  m_size = 0;
  m_length = 0;
}
