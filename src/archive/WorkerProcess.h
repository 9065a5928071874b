#pragma once
// Starting the archive worker and talking to it, the part that differs by
// platform. WorkerProcessPosix.cpp implements it with a socket pair and
// posix_spawn; another platform adds a file of its own with the same
// functions (a process and its pipes, the folder of the running module).
#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

namespace lmpq {

// The worker's file name, beside the library.
#if defined(_WIN32)
constexpr const char* kWorkerFileName = "lmpqapi-worker.exe";
#else
constexpr const char* kWorkerFileName = "lmpqapi-worker";
#endif

// The folder of the module this code is linked into (the archive library),
// with no trailing separator; empty when the platform does not say.
std::string ModuleDirectory();
// True when `path` names a program this process may start.
bool IsRunnable(const std::string& path);

class WorkerProcess {
 public:
  using Clock = std::chrono::steady_clock;

  // Starts `program` with the channel as its standard input and output;
  // nullptr when it cannot be started.
  static std::unique_ptr<WorkerProcess> Start(const std::string& program);
  // Ends the worker if it still runs, and waits for it.
  ~WorkerProcess();
  WorkerProcess(const WorkerProcess&) = delete;
  WorkerProcess& operator=(const WorkerProcess&) = delete;

  // Sends all the bytes; false when the worker has gone.
  bool Send(const std::string& bytes);
  // Receives exactly `size` bytes before the deadline; false when the worker
  // has gone, closed its side or not answered in time.
  bool Receive(char* into, size_t size, Clock::time_point deadline);
  // Closes the channel and gives the worker a moment to finish on its own,
  // then kills it; afterwards the worker no longer runs. True when it ended
  // by itself, with success.
  bool Finish();
  // Kills the worker at once and waits for it.
  void Kill();

 private:
  struct Native;
  explicit WorkerProcess(std::unique_ptr<Native> native);
  std::unique_ptr<Native> m_native;
};

}  // namespace lmpq
