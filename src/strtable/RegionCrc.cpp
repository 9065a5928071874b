#include "strtable/RegionCrc.h"

#include "strtable/Crc16.h"
#include "strtable/StringTableFormat.h"

namespace {
// Bytes left to sum when the region starts at `start` in a file of `size`.
qint64 RegionLength(const tbl::TableHeader& header, qint64 size) {
  if (header.regionStart >= size) return 0;
  const quint32 count = header.regionEnd - header.regionStart;  // wraps when end < start
  return qMin<qint64>(count, size - header.regionStart);
}
}  // namespace

quint16 ComputeRegionCrc(QByteArrayView fileBytes) {
  const tbl::TableHeader header = tbl::ReadTableHeader(fileBytes);
  const qint64 length = RegionLength(header, fileBytes.size());
  if (length == 0) return crc16::kInitial;
  return crc16::Of(fileBytes.sliced(header.regionStart, length));
}
