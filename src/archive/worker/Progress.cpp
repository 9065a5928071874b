#include "Progress.h"

#include <chrono>
#include <string>

#include "WholeIo.h"
#include "archive/WorkerProtocol.h"

namespace {
int g_channel = -1;
std::chrono::steady_clock::time_point g_lastSent;
}  // namespace

void SetProgressChannel(int fd) { g_channel = fd; }

void ReportProgress() {
  const auto now = std::chrono::steady_clock::now();
  if (g_channel < 0 || now - g_lastSent < std::chrono::milliseconds(100)) return;
  g_lastSent = now;
  const std::string word = lmpq::EncodeNumber(lmpq::kProgressReply);
  wholeio::WriteWhole(g_channel, word.data(), word.size());
}
