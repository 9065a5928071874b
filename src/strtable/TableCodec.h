#pragma once
// The codec a string table shows through: UTF-8 when every key and value is
// valid UTF-8 and one of them holds a byte of 0x80 or more, Windows-1252
// otherwise.
//
// Texts may overlap: a hostile table can point all 65,535 keys into one long
// run of bytes, so that checking each text on its own would read the file
// tens of thousands of times over. Past a few times the file's size in text
// bytes, the choice is made from one pass over the file instead.
#include <vector>

#include "platform/TextCodec.h"
#include "strtable/StringTable.h"

TextCodec CodecForTable(const StringTable& table);

// The one-pass judge, on its own: knows, for any stretch of the file, whether
// it is valid UTF-8 and whether it holds a high byte, in constant time.
class Utf8Map {
 public:
  explicit Utf8Map(QByteArrayView file);

  // `text` must be a view into the file given to the constructor.
  bool IsValidUtf8(QByteArrayView text) const;
  bool HasHighByte(QByteArrayView text) const;

 private:
  qsizetype Start(QByteArrayView text) const { return text.data() - m_file.data(); }

  QByteArrayView m_file;
  std::vector<quint32> m_badBefore;   // bytes before p that no valid text may hold
  std::vector<quint32> m_highBefore;  // bytes of 0x80 or more before p
};
