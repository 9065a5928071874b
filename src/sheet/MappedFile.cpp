#include "sheet/MappedFile.h"

#include <QFile>
#include <utility>

#if defined(__linux__)
#include <fcntl.h>
#include <linux/magic.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>

namespace {
// The signal the kernel sends when a writer wants the file; a real-time
// signal carries the file descriptor with it.
int leaseSignal() { return SIGRTMIN + 7; }

// Mappings the signal handler may have to copy. A fixed table: the handler
// may not allocate, and a process holds only a few sheets.
struct Slot {
  std::atomic<int> fd{-1};
  void* data = nullptr;
  size_t size = 0;
  std::atomic<bool> copied{false};
};
constexpr int kSlots = 32;
Slot g_slots[kSlots];
std::mutex g_slotsInUse;  // taking and giving back slots, outside the handler

// Copies the mapped pages into fresh private memory and puts that memory in
// their place, at the same address, so every pointer into the file's bytes
// stays good; then lets the writer go on. Runs in the signal handler: system
// calls and memcpy only.
void makePrivate(Slot& slot) {
  if (!slot.copied.load()) {
    void* copy = mmap(nullptr, slot.size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (copy != MAP_FAILED) {
      std::memcpy(copy, slot.data, slot.size);
      mprotect(copy, slot.size, PROT_READ);
      if (mremap(copy, slot.size, slot.size, MREMAP_MAYMOVE | MREMAP_FIXED, slot.data) != MAP_FAILED)
        slot.copied.store(true);
      else
        munmap(copy, slot.size);
    }
  }
  fcntl(slot.fd.load(), F_SETLEASE, F_UNLCK);
}

void onLeaseBreak(int, siginfo_t* info, void*) {
  const int savedErrno = errno;
  for (Slot& slot : g_slots) {
    if (slot.fd.load() == info->si_fd) {
      makePrivate(slot);
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

// Keeps the lease signal away from this thread while the table changes, so
// that the handler never sees a half-filled or half-cleared slot.
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
  void* data = MAP_FAILED;
  if (fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0)
    // Populated at once: one call sets up every page instead of a fault for each.
    data = mmap(nullptr, static_cast<size_t>(status.st_size), PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
  if (data == MAP_FAILED) {
    fcntl(fd, F_SETLEASE, F_UNLCK);
    close(fd);
    return false;
  }
  g_slots[slot].data = data;
  g_slots[slot].size = static_cast<size_t>(status.st_size);
  g_slots[slot].copied.store(false);
  g_slots[slot].fd.store(fd);
  m_data = data;
  m_size = static_cast<qsizetype>(status.st_size);
  m_slot = slot;
  return true;
}

bool MappedFile::sharesFilePages() const { return m_slot >= 0 && !g_slots[m_slot].copied.load(); }

void MappedFile::release() {
  if (m_slot < 0) return;
  std::lock_guard lock(g_slotsInUse);
  SignalBlock block;
  Slot& slot = g_slots[m_slot];
  const int fd = slot.fd.exchange(-1);
  fcntl(fd, F_SETLEASE, F_UNLCK);
  close(fd);
  munmap(m_data, slot.size);
  m_data = nullptr;
  m_size = 0;
  m_slot = -1;
}

#else  // no leases: every file is read into memory instead

bool MappedFile::map(const QString&) { return false; }
bool MappedFile::sharesFilePages() const { return false; }
void MappedFile::release() {}

#endif

MappedFile::MappedFile(MappedFile&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)),
      m_size(std::exchange(other.m_size, 0)),
      m_slot(std::exchange(other.m_slot, -1)) {}

MappedFile& MappedFile::operator=(MappedFile&& other) noexcept {
  if (this != &other) {
    release();
    m_data = std::exchange(other.m_data, nullptr);
    m_size = std::exchange(other.m_size, 0);
    m_slot = std::exchange(other.m_slot, -1);
  }
  return *this;
}

MappedFile::~MappedFile() { release(); }
