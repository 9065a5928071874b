#include "strtable/RegionCrc.h"

#include <QIODevice>
#include <array>

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

quint16 ComputeRegionCrc(QIODevice& file) {
  if (!file.seek(0)) return crc16::kInitial;
  const QByteArray headerBytes = file.read(tbl::kHeaderSize);
  const tbl::TableHeader header = tbl::ReadTableHeader(headerBytes);
  qint64 remaining = RegionLength(header, file.size());
  quint16 reg = crc16::kInitial;
  if (remaining == 0 || !file.seek(header.regionStart)) return reg;

  std::array<char, 64 * 1024> chunk;
  while (remaining > 0) {
    const qint64 got = file.read(chunk.data(), qMin<qint64>(remaining, chunk.size()));
    if (got <= 0) break;  // the file shrank under us, or a read failed
    reg = crc16::Update(reg, QByteArrayView(chunk.data(), got));
    remaining -= got;
  }
  return reg;
}

quint16 ComputeRegionCrc(QByteArrayView fileBytes) {
  const tbl::TableHeader header = tbl::ReadTableHeader(fileBytes);
  const qint64 length = RegionLength(header, fileBytes.size());
  if (length == 0) return crc16::kInitial;
  return crc16::Of(fileBytes.sliced(header.regionStart, length));
}
