#include "strtable/KeyNames.h"

namespace {
// A character takes one byte in Windows-1252 and one to three bytes per
// UTF-16 unit in UTF-8 (four for a pair), so a key of `bytes` bytes decodes
// to at least bytes / 3 and at most `bytes` units.
bool MayDecodeToLength(qsizetype bytes, qsizetype length) {
  return bytes >= length && bytes <= 3 * length;
}
}  // namespace

QString KeyListText(const TextCodec& codec, QByteArrayView key) {
  // Enough bytes for more than kShownKeyLength units in either codec.
  const qsizetype enough = 3 * (kShownKeyLength + 1);
  QString text = codec.Decode(key.first(qMin(key.size(), enough)));
  if (text.size() <= kShownKeyLength) return text;
  text.truncate(kShownKeyLength);
  if (text.back().isHighSurrogate()) text.chop(1);
  return text + QChar(0x2026);
}

int FindKeyEntry(const StringTable& table, const TextCodec& codec, const QString& name) {
  const auto& keys = table.m_keyNames;
  for (size_t i = 0; i < keys.size(); ++i) {
    if (name.isEmpty() ? !keys[i].isEmpty() : !MayDecodeToLength(keys[i].size(), name.size())) continue;
    if (codec.Decode(keys[i]).compare(name, Qt::CaseInsensitive) == 0) return static_cast<int>(i);
  }
  return -1;
}
