#include "strtable/TableCodec.h"

namespace {

bool IsContinuation(quint8 b) { return (b & 0xC0) == 0x80; }

quint8 ByteAt(QByteArrayView bytes, qsizetype i) { return static_cast<quint8>(bytes[i]); }

}  // namespace

// UTF-8 resynchronises at every byte that is not a continuation byte, so a
// text that starts at such a byte decodes in step with a decode of the whole
// file. A byte is "bad" when it begins an ill-formed sequence, or is a
// continuation byte that no well-formed sequence before it covers. A text is
// valid when it starts at a non-continuation byte, holds no bad byte, and its
// last sequence ends inside it (a value cut by its length may split one).
Utf8Map::Utf8Map(QByteArrayView file)
    : m_file(file), m_badBefore(file.size() + 1, 0), m_highBefore(file.size() + 1, 0) {
  const qsizetype n = file.size();
  qsizetype coveredUntil = 0;  // end of the last well-formed sequence
  for (qsizetype p = 0; p < n; ++p) {
    const quint8 b = ByteAt(file, p);
    bool bad;
    if (IsContinuation(b)) {
      bad = p >= coveredUntil;
    } else {
      const int length = TextCodec::Utf8SequenceLength(b);
      bad = length == 0 || length > n - p ||
            (length > 1 && !TextCodec::IsValidUtf8(file.sliced(p, length)));
      coveredUntil = bad ? p + 1 : p + length;
    }
    m_badBefore[p + 1] = m_badBefore[p] + (bad ? 1 : 0);
    m_highBefore[p + 1] = m_highBefore[p] + (b >= 0x80 ? 1 : 0);
  }
}

bool Utf8Map::HasHighByte(QByteArrayView text) const {
  if (text.isEmpty()) return false;
  const qsizetype a = Start(text);
  return m_highBefore[a + text.size()] != m_highBefore[a];
}

bool Utf8Map::IsValidUtf8(QByteArrayView text) const {
  if (text.isEmpty()) return true;
  const qsizetype a = Start(text);
  const qsizetype e = a + text.size();
  if (IsContinuation(ByteAt(m_file, a)) || m_badBefore[e] != m_badBefore[a]) return false;
  // No bad byte: at most three continuation bytes end the text.
  qsizetype last = e - 1;
  while (IsContinuation(ByteAt(m_file, last))) --last;
  return last + TextCodec::Utf8SequenceLength(ByteAt(m_file, last)) <= e;
}

namespace {
// UTF-8 when every key and value is valid UTF-8 and one holds a high byte,
// judged by the given judges.
template <typename HasHighByte, typename IsValidUtf8>
TextCodec Choose(const StringTable& table, HasHighByte hasHighByte, IsValidUtf8 isValidUtf8) {
  bool high = false;
  for (const auto* texts : {&table.m_keyNames, &table.m_values})
    for (const QByteArrayView text : *texts) {
      if (text.isEmpty() || !hasHighByte(text)) continue;
      if (!isValidUtf8(text)) return TextCodec(TextCodec::Kind::Windows1252);
      high = true;
    }
  return TextCodec(high ? TextCodec::Kind::Utf8 : TextCodec::Kind::Windows1252);
}
}  // namespace

TextCodec CodecForTable(const StringTable& table) {
  qint64 total = 0;
  for (const auto* texts : {&table.m_keyNames, &table.m_values})
    for (const QByteArrayView text : *texts) total += text.size();
  if (total <= 4 * qint64(table.m_fileBytes.size()) + 65536)
    return Choose(table, TextCodec::HasHighByte, TextCodec::IsValidUtf8);

  const Utf8Map map(table.m_fileBytes);
  return Choose(
      table, [&](QByteArrayView text) { return map.HasHighByte(text); },
      [&](QByteArrayView text) { return map.IsValidUtf8(text); });
}
