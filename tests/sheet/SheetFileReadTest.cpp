// Reading a sheet file: the load reads it in blocks into one buffer, advised
// for huge pages, and looks for bytes of 0x80 or more in each block as it
// comes in. Every byte must arrive, and the answer must be the one a plain
// scan of the whole file gives, wherever the high byte sits.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "TestFiles.h"
#include "platform/TextCodec.h"
#include "sheet/SheetFile.h"

namespace {

constexpr qsizetype kMiB = 1 << 20;

TEST(ReadWholeFile, GivesEveryByteAndFindsTheHighByte) {
  const struct {
    qsizetype size;
    qsizetype high;  // where a byte 0xE9 goes; -1: nowhere
  } cases[] = {{0, -1},           {1, 0},           {4096, -1},          {kMiB - 1, kMiB - 2},
               {kMiB, kMiB - 1},  {kMiB + 1, kMiB}, {2 * kMiB, -1},      {2 * kMiB + 1, 2 * kMiB},
               {6 * kMiB + 17, 0}, {6 * kMiB + 17, 3 * kMiB + 5}, {6 * kMiB + 17, 6 * kMiB + 16}};
  QTemporaryDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "size " << c.size << ", high byte at " << c.high);
    QByteArray written(c.size, Qt::Uninitialized);
    for (qsizetype i = 0; i < c.size; ++i) written[i] = i % 97 == 96 ? '\n' : static_cast<char>('!' + i % 89);
    if (c.high >= 0) written[c.high] = '\xE9';
    const QString path = dir.filePath("sheet.txt");
    WriteBytes(path, written);

    QByteArray read = "left over";
    QString error;
    bool high = !(c.high >= 0);  // the opposite of the answer, to see it written
    ASSERT_TRUE(ReadWholeFile(path, read, error, &high)) << error.toStdString();
    EXPECT_TRUE(read == written);
    EXPECT_EQ(high, c.high >= 0);
    EXPECT_EQ(high, TextCodec::HasHighByte(read));
    EXPECT_EQ(TextCodec::ForBytes(read, high).kind(), TextCodec::ForBytes(read).kind());
  }
}

}  // namespace
