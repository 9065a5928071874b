#include "TableWriter.h"

quint16 BitwiseCrc16(QByteArrayView bytes) {
  quint16 reg = 0xFFFF;
  for (const char c : bytes)  // shift each bit in; XOR the polynomial when it differs from the bit shifted out
    for (int bit = 7; bit >= 0; --bit) reg = quint16(reg << 1) ^ ((quint8(c) >> bit ^ reg >> 15) & 1 ? 0x1021 : 0);
  return reg;
}

QByteArray WriteStringTable(const std::vector<TableEntry>& entries, const TableWriterOptions& options) {
  const qint64 count = qint64(entries.size());
  const qint64 nodes = options.nodeCount > 0 ? options.nodeCount : qMin<qint64>(2 * count + 1, 65536);
  const qint64 nodeBase = 21 + 2 * count, textStart = nodeBase + 17 * nodes;
  QByteArray file(textStart, '\0');
  std::vector<quint32> keyAt(count), valueAt(count);
  for (qint64 k = 0; k < count; ++k) {
    const qint64 i = options.textsBackwards ? count - 1 - k : k;
    keyAt[i] = quint32(file.size());
    valueAt[i] = quint32(file.append(entries[i].key).append('\0').size());
    file.append(entries[i].value).append('\0');
  }
  std::vector<bool> used(nodes);
  for (qint64 i = 0; i < count; ++i) {
    quint32 hash = 2166136261u;  // FNV-1a, then linear probing
    for (const char c : entries[i].key) hash = (hash ^ quint8(c)) * 16777619u;
    qint64 slot = hash % nodes;
    while (used[slot]) slot = (slot + 1) % nodes;
    used[slot] = true;
    const qint64 node = nodeBase + 17 * slot;
    file[node] = 1, PutU16(file, node + 1, quint16(i)), PutU32(file, node + 3, hash);
    PutU32(file, node + 7, keyAt[i]), PutU32(file, node + 11, valueAt[i]);
    PutU16(file, node + 15, quint16(entries[i].value.size() + (options.lengthCountsZero ? 1 : 0)));
    PutU16(file, 21 + 2 * i, quint16(slot));
  }
  PutU16(file, 2, quint16(count)), PutU32(file, 4, quint32(nodes)), file[8] = char(options.version);
  PutU32(file, 9, quint32(textStart)), PutU32(file, 17, quint32(file.size()));
  PutU16(file, 0, BitwiseCrc16(QByteArrayView(file).sliced(textStart)));
  return file;
}

QByteArray WriteOverlappingTable(const QByteArray& run, int count, int keyStep, int valueStep,
                                 quint16 valueLength) {
  const qint64 nodeBase = 21 + 2 * qint64(count), runStart = nodeBase + 17 * qint64(count);
  QByteArray file = QByteArray(runStart, '\0') + run;
  PutU16(file, 2, quint16(count)), PutU32(file, 9, quint32(runStart)), PutU32(file, 17, quint32(file.size()));
  const qint64 wrap = qMax<qint64>(run.size(), 1);
  for (qint64 i = 0; i < count; ++i) {
    const qint64 node = nodeBase + 17 * i;
    PutU16(file, 21 + 2 * i, quint16(i)), PutU16(file, node + 15, valueLength);
    PutU32(file, node + 7, quint32(runStart + keyStep * i % wrap));
    PutU32(file, node + 11, quint32(runStart + valueStep * i % wrap));
  }
  return file;
}
