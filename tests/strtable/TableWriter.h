#pragma once
// Writes string tables as the game does: header (u16 CRC of the text region,
// u16 count, u32 node count, u8 version, u32 region start, u32 most probes
// (left 0), u32 region end = file size), u16 index array, 17-byte hash-table nodes
// (u8 used, u16 entry, u32 key hash, u32 key offset, u32 value offset, u16
// value length), then the texts. Also used by fuzz/ and bench/.
#include <QByteArray>
#include <ostream>
#include <vector>

#include "../TestFiles.h"

struct TableEntry { QByteArray key, value; bool operator==(const TableEntry&) const = default; };
inline void PrintTo(const TableEntry& e, std::ostream* os) { *os << '{' << e.key.toStdString() << ", " << e.value.toStdString() << '}'; }

struct TableWriterOptions {
  quint8 version = 0;
  bool lengthCountsZero = true;  // the game's value lengths count the zero byte
  int nodeCount = 0;             // 0: about twice the entry count
  bool textsBackwards = false;   // texts stored last entry first
};

QByteArray WriteStringTable(const std::vector<TableEntry>& entries, const TableWriterOptions& options = {});

// Entry i's key starts keyStep * i bytes into `run` and its value valueStep * i
// (wrapping), so that all texts overlap in one run at the file's end.
QByteArray WriteOverlappingTable(const QByteArray& run, int count, int keyStep, int valueStep,
                                 quint16 valueLength);

// CRC-16/IBM-3740 one bit at a time, apart from the program's table.
quint16 BitwiseCrc16(QByteArrayView bytes);
