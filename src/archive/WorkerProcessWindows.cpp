// The worker as a Windows child process. The channel is two anonymous pipes,
// the worker's standard input and output; only their child ends are handed
// down, so the worker sees the end of its input as soon as the library
// closes its side, and the library sees a broken pipe when the worker ends.
#include <windows.h>

#include "archive/WorkerProcess.h"

#include <algorithm>
#include <thread>

namespace lmpq {

struct WorkerProcess::Native {
  HANDLE process = nullptr;
  HANDLE toWorker = nullptr;    // our end of the worker's standard input
  HANDLE fromWorker = nullptr;  // our end of its standard output
  bool endedWell = false;       // exited by itself with status 0

  void CloseChannel() {
    for (HANDLE* end : {&toWorker, &fromWorker}) {
      if (*end) CloseHandle(*end);
      *end = nullptr;
    }
  }
  // True once the worker has ended within `milliseconds` (and its handle is closed).
  bool Reap(DWORD milliseconds) {
    if (!process) return true;
    if (WaitForSingleObject(process, milliseconds) != WAIT_OBJECT_0) return false;
    DWORD code = 1;
    endedWell = GetExitCodeProcess(process, &code) && code == 0;
    CloseHandle(process);
    process = nullptr;
    return true;
  }
};

std::string ModuleDirectory() {
  HMODULE module = nullptr;
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCSTR>(&ModuleDirectory), &module))
    return {};
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  const std::string file(path, length);
  const size_t separator = file.find_last_of("\\/");
  return separator == std::string::npos ? std::string() : file.substr(0, separator);
}

bool IsRunnable(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

namespace {
// A pipe whose `child` end may be inherited and whose `ours` end may not.
bool MakePipe(HANDLE& childEnd, HANDLE& ourEnd, bool childReads) {
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE read = nullptr, write = nullptr;
  if (!CreatePipe(&read, &write, &inheritable, 0)) return false;
  childEnd = childReads ? read : write;
  ourEnd = childReads ? write : read;
  SetHandleInformation(ourEnd, HANDLE_FLAG_INHERIT, 0);
  return true;
}
}  // namespace

WorkerProcess::WorkerProcess(std::unique_ptr<Native> native) : m_native(std::move(native)) {}

WorkerProcess::~WorkerProcess() { Kill(); }

std::unique_ptr<WorkerProcess> WorkerProcess::Start(const std::string& program) {
  auto native = std::make_unique<Native>();
  HANDLE childIn = nullptr, childOut = nullptr;
  if (!MakePipe(childIn, native->toWorker, true)) return nullptr;
  if (!MakePipe(childOut, native->fromWorker, false)) {
    CloseHandle(childIn);
    native->CloseChannel();
    return nullptr;
  }
  // What the worker or StormLib might print goes nowhere, never into a reply.
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE nothing = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                               OPEN_EXISTING, 0, nullptr);

  // Only these three handles go to the worker, whatever else the editor
  // holds as inheritable.
  HANDLE handed[] = {childIn, childOut, nothing};
  const DWORD handedCount = nothing == INVALID_HANDLE_VALUE ? 2 : 3;
  SIZE_T listSize = 0;
  InitializeProcThreadAttributeList(nullptr, 1, 0, &listSize);
  std::string listBytes(listSize, '\0');
  auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(listBytes.data());
  const bool listed = InitializeProcThreadAttributeList(list, 1, 0, &listSize) &&
                      UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handed,
                                                handedCount * sizeof(HANDLE), nullptr, nullptr);

  STARTUPINFOEXA startup{};
  startup.StartupInfo.cb = sizeof(startup);
  startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
  startup.StartupInfo.hStdInput = childIn;
  startup.StartupInfo.hStdOutput = childOut;
  startup.StartupInfo.hStdError = nothing == INVALID_HANDLE_VALUE ? nullptr : nothing;
  startup.lpAttributeList = listed ? list : nullptr;
  std::string commandLine = "\"" + program + "\"";
  PROCESS_INFORMATION started{};
  const BOOL ok = CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                 CREATE_NO_WINDOW | (listed ? EXTENDED_STARTUPINFO_PRESENT : 0), nullptr,
                                 nullptr, &startup.StartupInfo, &started);
  if (listed) DeleteProcThreadAttributeList(list);
  CloseHandle(childIn);
  CloseHandle(childOut);
  if (nothing != INVALID_HANDLE_VALUE) CloseHandle(nothing);
  if (!ok) {
    native->CloseChannel();
    return nullptr;
  }
  CloseHandle(started.hThread);
  native->process = started.hProcess;
  return std::unique_ptr<WorkerProcess>(new WorkerProcess(std::move(native)));
}

bool WorkerProcess::Send(const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    DWORD n = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - sent, 1u << 16));
    if (!m_native->toWorker || !WriteFile(m_native->toWorker, bytes.data() + sent, chunk, &n, nullptr) || n == 0)
      return false;
    sent += n;
  }
  return true;
}

bool WorkerProcess::Receive(char* into, size_t size, Clock::time_point deadline) {
  // Anonymous pipes have no waiting with a time limit: look at what has
  // arrived, and read only that, until the reply is whole or time is up.
  size_t got = 0;
  while (got < size) {
    DWORD available = 0;
    if (!m_native->fromWorker || !PeekNamedPipe(m_native->fromWorker, nullptr, 0, nullptr, &available, nullptr))
      return false;  // the worker has ended and everything it wrote is read
    if (available == 0) {
      if (Clock::now() >= deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      continue;
    }
    DWORD n = 0;
    const DWORD want = static_cast<DWORD>(std::min<size_t>(size - got, available));
    if (!ReadFile(m_native->fromWorker, into + got, want, &n, nullptr) || n == 0) return false;
    got += n;
  }
  return true;
}

bool WorkerProcess::Finish() {
  m_native->CloseChannel();
  // A worker that has answered its last request ends by itself as soon as it
  // reads the end of its input.
  if (m_native->Reap(5000)) return m_native->endedWell;
  Kill();
  return false;
}

void WorkerProcess::Kill() {
  m_native->CloseChannel();
  if (m_native->process) TerminateProcess(m_native->process, 1);
  m_native->Reap(INFINITE);
  m_native->endedWell = false;
}

}  // namespace lmpq
