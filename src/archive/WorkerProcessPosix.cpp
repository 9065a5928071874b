// The worker as a POSIX child process. The channel is one end of a Unix
// socket pair, which is both the worker's standard input and output: writing
// to it never raises SIGPIPE in the editor (send with MSG_NOSIGNAL), and the
// worker sees the end of its input when the editor goes away.
#include "archive/WorkerProcess.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <thread>

extern char** environ;

namespace lmpq {

struct WorkerProcess::Native {
  pid_t pid = -1;
  int channel = -1;
  bool endedWell = false;  // exited by itself with status 0

  void CloseChannel() {
    if (channel >= 0) close(channel);
    channel = -1;
  }
  // True once the worker has ended and been waited for.
  bool Reap(bool block) {
    if (pid <= 0) return true;
    int status = 0;
    pid_t done;
    do done = waitpid(pid, &status, block ? 0 : WNOHANG);
    while (done < 0 && errno == EINTR);
    if (done == 0) return false;
    endedWell = done == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    pid = -1;  // ended (or not ours to wait for any more)
    return true;
  }
};

std::string ModuleDirectory() {
  Dl_info info{};
  if (!dladdr(reinterpret_cast<void*>(&ModuleDirectory), &info) || !info.dli_fname) return {};
  char resolved[PATH_MAX];
  if (!realpath(info.dli_fname, resolved)) return {};
  std::string path(resolved);
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool IsRunnable(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

WorkerProcess::WorkerProcess(std::unique_ptr<Native> native) : m_native(std::move(native)) {}

WorkerProcess::~WorkerProcess() { Kill(); }

std::unique_ptr<WorkerProcess> WorkerProcess::Start(const std::string& program) {
  int ends[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return nullptr;
  // In a program started with its standard input or output closed, the
  // child's end could land on fd 0 or 1, where a dup2 onto itself would keep
  // it close-on-exec; it moves above them first.
  if (ends[1] <= STDOUT_FILENO) {
    const int moved = fcntl(ends[1], F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    close(ends[1]);
    ends[1] = moved;
    if (moved < 0) {
      close(ends[0]);
      return nullptr;
    }
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, ends[1], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
  // The worker starts with the default signal handling, whatever the editor
  // changed for itself.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults, none;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  sigaddset(&defaults, SIGCHLD);
  sigemptyset(&none);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

  auto native = std::make_unique<Native>();
  char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
  const int failed = posix_spawn(&native->pid, program.c_str(), &actions, &attributes, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  close(ends[1]);
  if (failed) {
    close(ends[0]);
    return nullptr;
  }
  native->channel = ends[0];
  return std::unique_ptr<WorkerProcess>(new WorkerProcess(std::move(native)));
}

bool WorkerProcess::Send(const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = send(m_native->channel, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

bool WorkerProcess::Receive(char* into, size_t size, Clock::time_point deadline) {
  size_t got = 0;
  while (got < size) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return false;
    pollfd wait{m_native->channel, POLLIN, 0};
    const int ready = poll(&wait, 1, static_cast<int>(std::min<long long>(left, INT_MAX)));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return false;
    const ssize_t n = recv(m_native->channel, into + got, size - got, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;  // the worker closed its side or died
    got += static_cast<size_t>(n);
  }
  return true;
}

bool WorkerProcess::Finish() {
  // A worker that has answered its last request ends by itself as soon as it
  // reads the end of its input; its side of the channel closes as it ends.
  shutdown(m_native->channel, SHUT_WR);
  char rest[64];
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  while (Receive(rest, sizeof rest, deadline)) {
  }
  m_native->CloseChannel();
  while (!m_native->Reap(false)) {
    if (Clock::now() >= deadline) {
      Kill();
      return false;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return m_native->endedWell;
}

void WorkerProcess::Kill() {
  m_native->CloseChannel();
  if (m_native->pid > 0) kill(m_native->pid, SIGKILL);
  m_native->Reap(true);
  m_native->endedWell = false;
}

}  // namespace lmpq
