#pragma once
// What the archive library and its worker process say to each other over
// their channel. A request is a length, an operation and byte-string fields;
// a reply is one 32-bit result. Every number goes little-endian, so the two
// sides agree whatever they were built with.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lmpq {

enum class WorkerOp : uint8_t {
  kOpen = 1,   // archive path, mode, most files   -> 1 when opened and checked
  kAdd = 2,    // file on disk, name in archive, flags -> 1 when stored
  kClose = 3,  // (nothing)                         -> 1 when the archive was replaced whole
};

// Before its reply the worker may send this word any number of times: it is
// getting on with the request. The library gives up on a worker that sends
// neither for a while.
constexpr uint32_t kProgressReply = 0xFFFFFFFFu;

struct WorkerRequest {
  WorkerOp op = WorkerOp::kClose;
  std::vector<std::string> fields;
};

// No request is longer than this: paths and names are short, and a peer that
// says otherwise is not believed.
constexpr uint32_t kMaxRequestBytes = 1u << 16;

// The whole request as sent: its length (4 bytes), then the operation and the
// fields, each field its length (4 bytes) and its bytes.
std::string EncodeRequest(const WorkerRequest& request);
// The request from what follows the length; nothing when it is malformed.
std::optional<WorkerRequest> DecodeRequest(std::string_view body);

std::string EncodeNumber(uint32_t value);
// The number a 4-byte field holds; nothing for any other length.
std::optional<uint32_t> DecodeNumber(std::string_view bytes);

}  // namespace lmpq
