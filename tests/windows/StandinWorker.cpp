// A stand-in for the archive worker on Windows, to try the library's side of
// the channel without StormLib: it reads requests on its standard input as
// the worker does and writes one line per request to the file that
// TW_WORKER_LOG names. TW_WORKER_MODE chooses how it answers:
//   answer  every request with 1, ending after close or at the end of its input;
//   silent  never: it reads one request and then waits to be killed;
//   quit    by ending at once, before it reads anything.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "archive/WorkerProtocol.h"

namespace {
bool ReadExactly(HANDLE in, char* into, DWORD size) {
  while (size > 0) {
    DWORD n = 0;
    if (!ReadFile(in, into, size, &n, nullptr) || n == 0) return false;
    into += n;
    size -= n;
  }
  return true;
}

void Log(const std::string& line) {
  const char* path = std::getenv("TW_WORKER_LOG");
  if (!path) return;
  if (FILE* log = std::fopen(path, "ab")) {
    std::fprintf(log, "%s\n", line.c_str());
    std::fclose(log);
  }
}

std::string Describe(const lmpq::WorkerRequest& request) {
  static const char* const names[] = {"?", "open", "add", "close"};
  std::string line = names[static_cast<int>(request.op) <= 3 ? static_cast<int>(request.op) : 0];
  for (const std::string& field : request.fields) {
    const auto number = lmpq::DecodeNumber(field);
    line += " " + (number ? std::to_string(*number) : field);
  }
  return line;
}
}  // namespace

int main() {
  const std::string mode = std::getenv("TW_WORKER_MODE") ? std::getenv("TW_WORKER_MODE") : "answer";
  if (mode == "quit") return 3;
  HANDLE in = GetStdHandle(STD_INPUT_HANDLE), out = GetStdHandle(STD_OUTPUT_HANDLE);
  for (;;) {
    char length[4];
    if (!ReadExactly(in, length, 4)) break;
    const uint32_t size = lmpq::DecodeNumber(std::string_view(length, 4)).value_or(0);
    std::string body(size, '\0');
    if (size == 0 || size > lmpq::kMaxRequestBytes || !ReadExactly(in, body.data(), size)) break;
    const auto request = lmpq::DecodeRequest(body);
    if (!request) break;
    Log(Describe(*request));
    if (mode == "silent") Sleep(INFINITE);
    const std::string reply = lmpq::EncodeNumber(1);
    DWORD written = 0;
    WriteFile(out, reply.data(), static_cast<DWORD>(reply.size()), &written, nullptr);
    if (request->op == lmpq::WorkerOp::kClose) break;
  }
  Log("ended");
  return 0;
}
