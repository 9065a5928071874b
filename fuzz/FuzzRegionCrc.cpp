// Any bytes through the region checksum, which must agree with a bit-by-bit
// CRC over the region clipped to the end of the file.
#include <QByteArray>
#include <cstdint>
#include <cstdlib>

#include "strtable/RegionCrc.h"
#include "strtable/StringTableFormat.h"

namespace {
quint16 BitwiseCrc(QByteArrayView bytes) {
  quint16 reg = 0xFFFF;
  for (const char c : bytes)
    for (int bit = 7; bit >= 0; --bit) {
      const bool flip = (((static_cast<quint8>(c) >> bit) & 1) != 0) != ((reg & 0x8000) != 0);
      reg = static_cast<quint16>(reg << 1) ^ (flip ? 0x1021 : 0);
    }
  return reg;
}

quint16 Expected(QByteArrayView file) {
  const tbl::TableHeader h = tbl::ReadTableHeader(file);
  const quint64 size = static_cast<quint64>(file.size());
  if (h.regionStart >= size) return 0xFFFF;
  const quint64 count = static_cast<quint32>(h.regionEnd - h.regionStart);
  const quint64 stop = std::min<quint64>(size, h.regionStart + count);
  return BitwiseCrc(file.sliced(h.regionStart, static_cast<qsizetype>(stop - h.regionStart)));
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray file = QByteArray::fromRawData(reinterpret_cast<const char*>(data),
                                                  static_cast<qsizetype>(size));
  if (ComputeRegionCrc(QByteArrayView(file)) != Expected(file)) std::abort();
  return 0;
}
