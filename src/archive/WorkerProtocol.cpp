#include "archive/WorkerProtocol.h"

#include "platform/LittleEndian.h"

namespace lmpq {

std::string EncodeNumber(uint32_t value) {
  std::string bytes(4, '\0');
  le::Write(bytes.data(), value);
  return bytes;
}

std::optional<uint32_t> DecodeNumber(std::string_view bytes) {
  if (bytes.size() != 4) return std::nullopt;
  return le::Read<uint32_t>(bytes.data());
}

std::string EncodeRequest(const WorkerRequest& request) {
  std::string body(1, static_cast<char>(request.op));
  for (const std::string& field : request.fields) {
    body += EncodeNumber(static_cast<uint32_t>(field.size()));
    body += field;
  }
  return EncodeNumber(static_cast<uint32_t>(body.size())) + body;
}

std::optional<WorkerRequest> DecodeRequest(std::string_view body) {
  if (body.empty() || body.size() > kMaxRequestBytes) return std::nullopt;
  WorkerRequest request;
  const auto op = static_cast<uint8_t>(body[0]);
  if (op < static_cast<uint8_t>(WorkerOp::kOpen) || op > static_cast<uint8_t>(WorkerOp::kClose)) return std::nullopt;
  request.op = static_cast<WorkerOp>(op);
  body.remove_prefix(1);
  while (!body.empty()) {
    const std::optional<uint32_t> length = DecodeNumber(body.substr(0, 4));
    if (!length || *length > body.size() - 4) return std::nullopt;
    request.fields.emplace_back(body.substr(4, *length));
    body.remove_prefix(4 + *length);
  }
  return request;
}

}  // namespace lmpq
