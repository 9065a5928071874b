// Writing untouched lines back: each goes out as it came in, padded with tabs
// up to the header's width. The padding counts the line's tabs eight bytes at
// a time, so lines of every length and tab placement around those eight-byte
// steps are checked against a plain byte-by-byte count.
#include <gtest/gtest.h>

#include <QBuffer>

#include "sheet/SheetFile.h"
#include "sheet/SheetStore.h"

namespace {

QByteArray saved(const QByteArray& file, int cols) {
  SheetStore store;
  store.setColCount(cols);
  store.appendFileLines(file);
  QBuffer out;
  out.open(QIODevice::WriteOnly);
  EXPECT_TRUE(WriteSheet(store, out));
  return out.data();
}

// What the line must become: itself, then tabs until it has `fields` fields.
QByteArray padded(const QByteArray& line, int fields) {
  int have = 1;
  for (const char c : line) have += c == '\t';
  return line + QByteArray(std::max(0, fields - have), '\t') + "\r\n";
}

TEST(SheetWrite, PadsEveryLineToTheHeaderWidth) {
  // Bytes that differ from a tab in one bit, or only in the high bit, must
  // not count as tabs.
  const char filler[] = {'a', '\x89', '\x08', '\x0b', '\x19', '\0', '\xff', ' '};
  QList<QByteArray> lines;
  for (int length = 0; length <= 26; ++length) {
    for (int every = 1; every <= 9; ++every) {  // a tab at every `every`-th byte (9: none in short lines)
      QByteArray line;
      for (int i = 0; i < length; ++i)
        line += (every < 9 && i % every == every - 1) ? '\t' : filler[(i + every) % 8];
      lines << line;
    }
  }
  for (const int fields : {1, 2, 3, 9, 20, 40}) {
    SCOPED_TRACE(testing::Message() << fields << " fields");
    const QByteArray header(fields - 1, '\t');
    QByteArray file = header + "\r\n";
    QByteArray expected = padded(header, fields);
    for (const QByteArray& line : lines) {
      file += line + "\r\n";
      expected += padded(line, fields);
    }
    const QList<QByteArray> got = saved(file, fields + 1).split('\n');
    const QList<QByteArray> want = expected.split('\n');
    ASSERT_EQ(got.size(), want.size());
    for (qsizetype i = 0; i < want.size(); ++i) EXPECT_EQ(got[i], want[i]) << "line " << i;
  }
}

TEST(SheetWrite, AManyTabbedLongLineIsKeptWhole) {
  QByteArray line;
  for (int i = 0; i < 10'000; ++i) line += QByteArray::number(i) + (i % 3 ? "\t" : "\t\t");
  EXPECT_EQ(saved("a\tb\r\n" + line + "\r\n", 3), "a\tb\r\n" + line + "\r\n");
}

}  // namespace
