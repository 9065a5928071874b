#pragma once
// Where a ".tbl" file keeps what this program reads, and field readers that
// never look outside the bytes they are given.
#include <QByteArrayView>
#include <QtGlobal>
#include <optional>

#include "platform/LittleEndian.h"

namespace tbl {

inline constexpr qint64 kEntryCountOffset = 2;   // u16
inline constexpr qint64 kRegionStartOffset = 9;  // u32, first byte of the checksummed region
inline constexpr qint64 kRegionEndOffset = 17;   // u32, first byte after it
inline constexpr qint64 kIndexArrayOffset = 21;  // u16 node number per entry
inline constexpr qint64 kHeaderSize = 21;

inline constexpr qint64 kNodeSize = 17;
inline constexpr qint64 kNodeKeyOffset = 7;      // u32 file offset of the key
inline constexpr qint64 kNodeValueOffset = 11;   // u32 file offset of the value
inline constexpr qint64 kNodeValueLength = 15;   // u16

// The little-endian field at `offset`, or nothing when the bytes do not hold
// the whole field.
template <typename T>
inline std::optional<T> ReadField(QByteArrayView bytes, qint64 offset) {
  if (offset < 0 || offset > bytes.size() - qint64(sizeof(T))) return std::nullopt;
  return le::Read<T>(bytes.data() + offset);
}
inline std::optional<quint16> ReadU16(QByteArrayView bytes, qint64 offset) { return ReadField<quint16>(bytes, offset); }
inline std::optional<quint32> ReadU32(QByteArrayView bytes, qint64 offset) { return ReadField<quint32>(bytes, offset); }

// The header fields this program uses. A field that a short file does not
// hold whole reads as 0: no entries, an empty region.
struct TableHeader {
  quint16 entryCount = 0;
  quint32 regionStart = 0;
  quint32 regionEnd = 0;
};

inline TableHeader ReadTableHeader(QByteArrayView bytes) {
  TableHeader header;
  header.entryCount = ReadU16(bytes, kEntryCountOffset).value_or(0);
  header.regionStart = ReadU32(bytes, kRegionStartOffset).value_or(0);
  header.regionEnd = ReadU32(bytes, kRegionEndOffset).value_or(0);
  return header;
}

}  // namespace tbl
