// Any bytes read as a table, then shown: the one-pass UTF-8 judge must agree
// with TextCodec on every key and value, and a search for a key's own name must find that key or an
// earlier one that matches it.
#include <cstdint>
#include <cstdlib>

#include "platform/TextCodec.h"
#include "strtable/KeyNames.h"
#include "strtable/StringTable.h"
#include "strtable/TableCodec.h"

namespace {
void Require(bool condition) {
  if (!condition) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const StringTable t =
      ParseStringTable(QByteArrayView(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));

  // Empty texts change no codec; leaving them out keeps each run short.
  std::vector<QByteArrayView> texts;
  for (const auto* group : {&t.m_keyNames, &t.m_values})
    for (const QByteArrayView text : *group)
      if (!text.isEmpty()) texts.push_back(text);
  const Utf8Map map(t.m_fileBytes);
  for (const QByteArrayView text : texts) {
    Require(map.IsValidUtf8(text) == TextCodec::IsValidUtf8(text));
    Require(map.HasHighByte(text) == TextCodec::HasHighByte(text));
  }
  const TextCodec codec = CodecForTable(t);

  const size_t searched = std::min<size_t>(t.m_keyNames.size(), 8);
  for (size_t i = 0; i < searched; ++i) {
    const QString name = codec.Decode(t.m_keyNames[i]);
    const int found = FindKeyEntry(t, codec, name);
    Require(found >= 0 && static_cast<size_t>(found) <= i);
    Require(codec.Decode(t.m_keyNames[found]).compare(name, Qt::CaseInsensitive) == 0);
    Require(KeyListText(codec, t.m_keyNames[i]).size() <= kShownKeyLength + 1);
  }
  return 0;
}
