// The archive library: puts files into existing MPQ archives. StormLib does
// the work, but never in the caller's process: each open archive has a
// worker process of its own (lmpqapi-worker, beside this library) that
// checks the archive, updates a copy of it and puts the copy in its place.
// A worker that crashes, is killed or stops answering costs only the entry
// that waited for it, which then returns its failure value.
#define LMPQAPI_BUILD
#include "archive/lmpqapi.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>

#include "archive/WorkerProcess.h"
#include "archive/WorkerProtocol.h"

namespace lmpq {
namespace {

// How long a worker may go without a word of progress before it counts as
// hung, whatever the archive's size: a healthy worker reports the work it
// does several times a second. LMPQAPI_WORKER_TIMEOUT_MS changes it for tests.
std::chrono::milliseconds StallLimit() {
  if (const char* text = std::getenv("LMPQAPI_WORKER_TIMEOUT_MS")) {
    const long value = std::strtol(text, nullptr, 10);
    if (value > 0) return std::chrono::milliseconds(value);
  }
  return std::chrono::seconds(10);
}

// What went wrong with a worker, for whoever reads the program's errors: the
// entries themselves can only say 0.
void Complain(const char* what) { std::fprintf(stderr, "lmpqapi: the archive worker %s\n", what); }

std::string WorkerPath() {
  const std::string folder = ModuleDirectory();
  return folder.empty() ? std::string() : folder + "/" + kWorkerFileName;
}

// Open archives. A handle is a slot's index plus one, so that it fits the
// interface's 32 bits and is never 0 or 0xFFFFFFFF. A slot whose worker has
// failed stays taken until the handle is closed.
std::array<std::unique_ptr<WorkerProcess>, 16> g_workers;
std::array<bool, 16> g_taken{};
std::mutex g_mutex;

std::unique_ptr<WorkerProcess>* WorkerOf(uint32_t handle) {
  if (handle == 0 || handle > g_workers.size() || !g_taken[handle - 1]) return nullptr;
  return &g_workers[handle - 1];
}

// One request and its reply; 0 (and the worker ended) when the worker ends
// or stops making progress before it answers, whatever the reason.
uint32_t Ask(std::unique_ptr<WorkerProcess>& worker, WorkerOp op, std::vector<std::string> fields) {
  if (!worker) return 0;
  char reply[4];
  if (worker->Send(EncodeRequest({op, std::move(fields)})))
    while (worker->Receive(reply, sizeof reply, WorkerProcess::Clock::now() + StallLimit())) {
      const uint32_t value = DecodeNumber(std::string_view(reply, sizeof reply)).value_or(0);
      if (value != kProgressReply) return value;
    }
  Complain("ended or made no progress before it answered");
  worker.reset();  // kills it
  return 0;
}

// Ends a worker that has answered its last request.
void Finish(std::unique_ptr<WorkerProcess>& worker) {
  if (worker && !worker->Finish()) Complain("did not end cleanly");
  worker.reset();
}

}  // namespace
}  // namespace lmpq

using namespace lmpq;

extern "C" {

LMPQ_EXPORT uint32_t LMPQ_CALL LmpqInitialize(void) {
  // Ready when the worker is there to be started.
  return IsRunnable(WorkerPath()) ? 1 : 0;
}

LMPQ_EXPORT uint32_t LMPQ_CALL LmpqOpenArchive(const char* path, uint32_t mode, uint32_t maxFiles) {
  if (!path || !*path) return 0;
  std::lock_guard lock(g_mutex);
  size_t slot = 0;
  while (slot < g_taken.size() && g_taken[slot]) ++slot;
  if (slot == g_taken.size()) return 0;

  std::unique_ptr<WorkerProcess> worker = WorkerProcess::Start(WorkerPath());
  if (Ask(worker, WorkerOp::kOpen, {path, EncodeNumber(mode), EncodeNumber(maxFiles)}) != 1) {
    Finish(worker);  // it refused the archive and leaves nothing behind
    return 0;
  }
  g_workers[slot] = std::move(worker);
  g_taken[slot] = true;
  return static_cast<uint32_t>(slot) + 1;
}

LMPQ_EXPORT uint32_t LMPQ_CALL LmpqAddFile(uint32_t handle, const char* file, const char* nameInArchive,
                                           uint32_t flags) {
  if (!file || !*file || !nameInArchive || !*nameInArchive) return 0;
  std::lock_guard lock(g_mutex);
  std::unique_ptr<WorkerProcess>* worker = WorkerOf(handle);
  if (!worker) return 0;
  return Ask(*worker, WorkerOp::kAdd, {file, nameInArchive, EncodeNumber(flags)}) == 1 ? 1 : 0;
}

LMPQ_EXPORT uint32_t LMPQ_CALL LmpqCloseArchive(uint32_t handle, uint32_t /*flags*/) {
  std::lock_guard lock(g_mutex);
  std::unique_ptr<WorkerProcess>* worker = WorkerOf(handle);
  if (!worker) return 0;
  // The worker replaces the archive with the updated copy before it answers.
  const uint32_t written = Ask(*worker, WorkerOp::kClose, {});
  Finish(*worker);
  g_taken[handle - 1] = false;
  return written == 1 ? 1 : 0;
}

}  // extern "C"
