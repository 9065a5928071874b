// Any bytes through the reader: it must not crash, must keep every text inside
// its copy of the file, and must give each entry only what its own node names.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "strtable/StringTable.h"
#include "strtable/StringTableFormat.h"

namespace {
void Require(bool condition) {
  if (!condition) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArrayView input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  const StringTable t = ParseStringTable(input);

  const quint16 count = tbl::ReadTableHeader(input).entryCount;
  Require(t.m_entryCount == count);
  Require(t.m_keyNames.size() == count && t.m_values.size() == count);
  Require(t.m_indices.size() == count && t.m_keyOffsets.size() == count);
  Require(t.m_valueOffsets.size() == count && t.m_valueLengths.size() == count);
  Require(t.m_fileBytes == input);

  const char* begin = t.m_fileBytes.constData();
  const char* end = begin + t.m_fileBytes.size();
  for (size_t i = 0; i < count; ++i) {
    const QByteArrayView key = t.m_keyNames[i];
    const QByteArrayView value = t.m_values[i];
    if (!key.isEmpty()) {
      Require(key.data() == begin + t.m_keyOffsets[i] && key.data() + key.size() <= end);
      Require(std::memchr(key.data(), 0, key.size()) == nullptr);
      // A key ends at a zero byte or at the end of the file.
      Require(key.data() + key.size() == end || key.data()[key.size()] == 0);
    }
    if (!value.isEmpty()) {
      Require(value.data() == begin + t.m_valueOffsets[i] && value.data() + value.size() <= end);
      Require(value.size() <= qsizetype(t.m_valueLengths[i]) + 1);
      Require(std::memchr(value.data(), 0, value.size()) == nullptr);
    }
  }
  return 0;
}
