// lmpqapi-worker: the archive library's StormLib work, in a process of its
// own. It reads requests on its standard input and answers each on its
// standard output (the library's channel), for one archive, then ends; at the
// end of its input it ends too, leaving the archive as it was unless a close
// has already replaced it.
#include <string>

#include "ArchiveSession.h"
#include "Progress.h"
#include "WholeIo.h"
#include "WorkerFile.h"
#include "archive/WorkerProtocol.h"

namespace {
uint32_t NumberOf(const std::string& field) { return lmpq::DecodeNumber(field).value_or(UINT32_MAX); }

uint32_t Run(ArchiveSession& session, const lmpq::WorkerRequest& request) {
  const auto& f = request.fields;
  switch (request.op) {
    case lmpq::WorkerOp::kOpen:
      return f.size() == 3 ? session.Open(f[0], NumberOf(f[1]), NumberOf(f[2])) : 0;
    case lmpq::WorkerOp::kAdd:
      return f.size() == 3 ? session.Add(f[0], f[1], NumberOf(f[2])) : 0;
    case lmpq::WorkerOp::kClose:
      return session.Close();
  }
  return 0;
}
}  // namespace

int main() {
  int in = -1, out = -1;
  if (!wfile::TakeChannel(in, out)) return 1;

  SetProgressChannel(out);
  ArchiveSession session;
  for (;;) {
    char length[4];
    if (!wholeio::ReadWhole(in, length, sizeof length)) break;
    const uint32_t size = lmpq::DecodeNumber(std::string_view(length, 4)).value_or(0);
    if (size == 0 || size > lmpq::kMaxRequestBytes) break;
    std::string body(size, '\0');
    if (!wholeio::ReadWhole(in, body.data(), size)) break;
    const std::optional<lmpq::WorkerRequest> request = lmpq::DecodeRequest(body);
    if (!request) break;
    const uint32_t result = Run(session, *request);
    const std::string reply = lmpq::EncodeNumber(result);
    if (!wholeio::WriteWhole(out, reply.data(), reply.size()) || request->op == lmpq::WorkerOp::kClose) break;
  }
  return 0;
}
