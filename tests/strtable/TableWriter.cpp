#include "TableWriter.h"

#include <algorithm>

namespace {
constexpr qint64 kHeaderSize = 21;
constexpr qint64 kNodeSize = 17;

// FNV-1a: spreads similar keys, so that probing stays short in full tables.
quint32 KeyHash(const QByteArray& key) {
  quint32 hash = 2166136261u;
  for (const char c : key) hash = (hash ^ static_cast<quint8>(c)) * 16777619u;
  return hash;
}
}  // namespace

void PutU16(QByteArray& bytes, qint64 offset, quint16 value) {
  bytes[offset] = static_cast<char>(value & 0xFF);
  bytes[offset + 1] = static_cast<char>(value >> 8);
}

void PutU32(QByteArray& bytes, qint64 offset, quint32 value) {
  PutU16(bytes, offset, static_cast<quint16>(value & 0xFFFF));
  PutU16(bytes, offset + 2, static_cast<quint16>(value >> 16));
}

quint16 GetU16(const QByteArray& bytes, qint64 offset) {
  return static_cast<quint16>(static_cast<quint8>(bytes[offset]) |
                              (static_cast<quint8>(bytes[offset + 1]) << 8));
}

quint32 GetU32(const QByteArray& bytes, qint64 offset) {
  return GetU16(bytes, offset) | (quint32(GetU16(bytes, offset + 2)) << 16);
}

quint16 BitwiseCrc16(QByteArrayView bytes) {
  quint16 reg = 0xFFFF;
  for (const char c : bytes) {
    for (int bit = 7; bit >= 0; --bit) {
      const bool in = (static_cast<quint8>(c) >> bit) & 1;
      const bool top = reg & 0x8000;
      reg = static_cast<quint16>(reg << 1);
      if (in != top) reg ^= 0x1021;
    }
  }
  return reg;
}

QByteArray WriteStringTable(const std::vector<TableEntry>& entries,
                            const TableWriterOptions& options) {
  const qint64 count = static_cast<qint64>(entries.size());
  // Node numbers are u16, so a table has at most 65536 nodes.
  const qint64 nodes =
      options.nodeCount > 0 ? options.nodeCount : std::min<qint64>(2 * count + 1, 65536);
  const qint64 nodeBase = kHeaderSize + 2 * count;
  const qint64 textStart = nodeBase + kNodeSize * nodes;

  // Texts first, so that every node knows its offsets.
  QByteArray texts;
  std::vector<quint32> keyOffsets(count), valueOffsets(count);
  for (qint64 k = 0; k < count; ++k) {
    const qint64 i = options.textsBackwards ? count - 1 - k : k;
    keyOffsets[i] = static_cast<quint32>(textStart + texts.size());
    texts.append(entries[i].key).append('\0');
    valueOffsets[i] = static_cast<quint32>(textStart + texts.size());
    texts.append(entries[i].value).append('\0');
  }

  QByteArray file(textStart, '\0');
  file.append(texts);
  std::vector<bool> used(nodes, false);
  quint32 mostProbes = 0;
  for (qint64 i = 0; i < count; ++i) {
    const quint32 hash = KeyHash(entries[i].key);
    qint64 slot = hash % nodes;
    quint32 probes = 1;
    while (used[slot]) {
      slot = (slot + 1) % nodes;
      ++probes;
    }
    used[slot] = true;
    mostProbes = std::max(mostProbes, probes);

    const qint64 node = nodeBase + kNodeSize * slot;
    file[node] = 1;
    PutU16(file, node + 1, static_cast<quint16>(i));
    PutU32(file, node + 3, hash);
    PutU32(file, node + 7, keyOffsets[i]);
    PutU32(file, node + 11, valueOffsets[i]);
    const qint64 length = entries[i].value.size() + (options.lengthCountsZero ? 1 : 0);
    PutU16(file, node + 15, static_cast<quint16>(length));
    PutU16(file, kHeaderSize + 2 * i, static_cast<quint16>(slot));
  }

  PutU16(file, 2, static_cast<quint16>(count));
  PutU32(file, 4, static_cast<quint32>(nodes));
  file[8] = static_cast<char>(options.version);
  PutU32(file, 9, static_cast<quint32>(textStart));
  PutU32(file, 13, mostProbes);
  PutU32(file, 17, static_cast<quint32>(file.size()));
  PutU16(file, 0, BitwiseCrc16(QByteArrayView(file).sliced(textStart)));
  return file;
}

QByteArray WriteOverlappingTable(const QByteArray& run, int count, int keyStep, int valueStep,
                                 quint16 valueLength) {
  const qint64 nodeBase = kHeaderSize + 2 * qint64(count);
  const qint64 runStart = nodeBase + kNodeSize * count;
  QByteArray file(runStart, '\0');
  file.append(run);
  auto into = [&](qint64 step, qint64 i) {
    return static_cast<quint32>(runStart + (run.isEmpty() ? 0 : (step * i) % run.size()));
  };
  PutU16(file, 2, static_cast<quint16>(count));
  PutU32(file, 9, static_cast<quint32>(runStart));
  PutU32(file, 17, static_cast<quint32>(file.size()));
  for (int i = 0; i < count; ++i) {
    PutU16(file, kHeaderSize + 2 * i, static_cast<quint16>(i));
    const qint64 node = nodeBase + kNodeSize * i;
    PutU32(file, node + 7, into(keyStep, i));
    PutU32(file, node + 11, into(valueStep, i));
    PutU16(file, node + 15, valueLength);
  }
  return file;
}
