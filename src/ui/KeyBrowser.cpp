// The editor window's string-table members: showing a table in the key list,
// the selected value, the checksum, the key search and Add Key. What they
// show is the string-table document; the key list is a view of its keys.
#include <QComboBox>
#include <QLineEdit>
#include <QTextEdit>

#include "platform/DocumentKind.h"
#include "platform/Paths.h"
#include "ui/TabSheetDlg.h"

void CTabSheetDlg::ReadStringTable(QByteArray fileBytes) {
  m_table.LoadFromBytes(std::move(fileBytes));
  KeyList()->show();
  ValueView()->show();
  KeySearch()->show();
  KeyList()->setCurrentIndex(0);  // stays at -1 for a table of no entries
  ShowSelectedValue();
  const quint16 crc = ComputeCrc();
  setWindowTitle(QString::asprintf("%s - %i entries (CRC of 0x%0X)",
                                   FileTitleOf(m_szFilePath).toUtf8().constData(),
                                   KeyList()->count(), unsigned{crc}));
  RememberDirectoryOf(m_szFilePath);
}

void CTabSheetDlg::ShowSelectedValue() {
  // No selection, or a key appended by Add Key, has no value: show none.
  ValueView()->setPlainText(m_table.ValueText(KeyList()->currentIndex()));
}

quint16 CTabSheetDlg::ComputeCrc() {
  m_crc = m_table.Crc();
  return m_crc;
}

void CTabSheetDlg::FindKey() {
  // A search that matches no key changes nothing.
  const int found = m_table.FindKey(KeySearch()->text());
  if (found < 0) return;
  KeyList()->setCurrentIndex(found);
  ShowSelectedValue();
}

void CTabSheetDlg::OnAddKey() {
  if (m_szFilePath.isEmpty() || kind::AddKeyRefuses(m_szFilePath)) return;
  const int selected = KeyList()->currentIndex();
  m_table.AppendBlankKey();
  // A combo box selects the first key put into an empty list; the key list
  // keeps its selection.
  KeyList()->setCurrentIndex(selected);
}
