#include "strtable/StringTableDocument.h"

#include "strtable/KeyNames.h"
#include "strtable/RegionCrc.h"
#include "strtable/TableCodec.h"

namespace {
const QString kBlankKey = QStringLiteral("Blank");
}  // namespace

void StringTableDocument::LoadFromBytes(QByteArray fileBytes) {
  emit aboutToLoad();
  m_table = ParseStringTable(std::move(fileBytes));
  m_codec = CodecForTable(m_table);
  m_appendedKeys = 0;
  emit loaded();
}

void StringTableDocument::AppendBlankKey() {
  emit aboutToAppendKey(KeyCount());
  ++m_appendedKeys;
  emit keyAppended();
}

quint16 StringTableDocument::Crc() const { return ComputeRegionCrc(QByteArrayView(m_table.m_fileBytes)); }

QString StringTableDocument::KeyText(int key) const {
  if (key < 0 || key >= KeyCount()) return {};
  return key < EntryCount() ? KeyListText(m_codec, m_table.m_keyNames[key]) : kBlankKey;
}

QString StringTableDocument::ValueText(int key) const {
  if (key < 0 || key >= EntryCount()) return {};
  return m_codec.Decode(m_table.m_values[key]);
}

int StringTableDocument::FindKey(const QString& name) const {
  // The table's keys are compared whole, not as the list shortens them.
  const int entry = FindKeyEntry(m_table, m_codec, name);
  if (entry >= 0) return entry;
  // Every appended key is "Blank": the first of them stands for all.
  if (m_appendedKeys > 0 && name.compare(kBlankKey, Qt::CaseInsensitive) == 0) return EntryCount();
  return -1;
}
