// The editor window's string-table members: reading a table into the key
// list, showing the selected value, the checksum, the key search and Add Key.
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QTextEdit>

#include "platform/Dialogs.h"
#include "platform/DocumentKind.h"
#include "platform/Paths.h"
#include "strtable/Crc16.h"
#include "strtable/KeyNames.h"
#include "strtable/RegionCrc.h"
#include "strtable/TableCodec.h"
#include "ui/TabSheetDlg.h"

void CTabSheetDlg::ReadStringTable() {
  // Open first: a file that cannot be read leaves the window as it was.
  QFile file(m_szFilePath);
  if (!file.open(QIODevice::ReadOnly)) {
    ShowMessageBox(this, QStringLiteral("Can't open %1\n%2").arg(m_szFilePath, file.errorString()));
    return;
  }
  m_stringTable = ParseStringTable(file.readAll());
  file.close();

  m_codec = CodecForTable(m_stringTable);

  QStringList keys;
  keys.reserve(static_cast<qsizetype>(m_stringTable.m_keyNames.size()));
  for (const QByteArrayView key : m_stringTable.m_keyNames) keys.append(KeyListText(m_codec, key));

  QComboBox* keyList = KeyList();
  keyList->clear();
  keyList->addItems(keys);
  keyList->show();
  ValueView()->show();
  KeySearch()->show();
  keyList->setCurrentIndex(0);  // stays at -1 for a table of no entries
  ShowSelectedValue();

  const quint16 crc = ComputeCrc();
  setWindowTitle(QString::asprintf("%s - %i entries (CRC of 0x%0X)",
                                   FileTitleOf(m_szFilePath).toUtf8().constData(),
                                   keyList->count(), unsigned{crc}));
  RememberDirectoryOf(m_szFilePath);
}

void CTabSheetDlg::ShowSelectedValue() {
  // No selection, or an item appended by Add Key, has no value: show none.
  const int i = KeyList()->currentIndex();
  const bool hasValue = i >= 0 && static_cast<size_t>(i) < m_stringTable.m_values.size();
  ValueView()->setPlainText(hasValue ? m_codec.Decode(m_stringTable.m_values[i]) : QString());
}

quint16 CTabSheetDlg::ComputeCrc() {
  // A file gone since the read sums nothing, like an empty region.
  QFile file(m_szFilePath);
  m_crc = file.open(QIODevice::ReadOnly) ? ComputeRegionCrc(file) : crc16::kInitial;
  return m_crc;
}

void CTabSheetDlg::FindKey() {
  // Whole names only, letter case ignored; the first match in list order wins:
  // the table's keys (compared whole, not as the list shortens them), then the
  // items Add Key appended.
  QComboBox* keyList = KeyList();
  const QString name = KeySearch()->text();
  int found = FindKeyEntry(m_stringTable, m_codec, name);
  for (int i = static_cast<int>(m_stringTable.m_keyNames.size()); found < 0 && i < keyList->count(); ++i)
    if (keyList->itemText(i).compare(name, Qt::CaseInsensitive) == 0) found = i;
  if (found < 0) return;
  keyList->setCurrentIndex(found);
  ShowSelectedValue();
}

void CTabSheetDlg::OnAddKey() {
  if (m_szFilePath.isEmpty()) return;
  if (kind::AddKeyRefuses(m_szFilePath)) return;
  QComboBox* keyList = KeyList();
  const int selected = keyList->currentIndex();
  keyList->addItem(QStringLiteral("Blank"));
  // A combo box selects the first item put into an empty list; the key list
  // keeps its selection.
  keyList->setCurrentIndex(selected);
}
