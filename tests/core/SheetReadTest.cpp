// Reading a sheet file into one buffer, and the huge-page advice given to the
// large buffers of a load: the bytes and the rows must come out exactly as
// they are on disk, whatever the sizes and alignments.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <vector>

#include "TestFiles.h"
#include "sheet/HugePages.h"
#include "sheet/SheetFile.h"
#include "sheet/SheetStore.h"

namespace {

constexpr qsizetype kMiB = 1 << 20;

// Bytes that differ from one position to the next, with a line break now and then.
QByteArray pattern(qsizetype size) {
  QByteArray bytes(size, Qt::Uninitialized);
  for (qsizetype i = 0; i < size; ++i) bytes[i] = i % 97 == 96 ? '\n' : static_cast<char>('!' + i % 89);
  return bytes;
}

TEST(ReadWholeFile, GivesBackEveryByteAroundHugePageSizes) {
  QTemporaryDir dir;
  const qsizetype sizes[] = {0, 1, 4095, 4096, 2 * kMiB - 1, 2 * kMiB, 2 * kMiB + 1, 6 * kMiB + 17};
  for (const qsizetype size : sizes) {
    SCOPED_TRACE(size);
    const QString path = dir.filePath(QString::number(size));
    const QByteArray written = pattern(size);
    WriteBytes(path, written);
    QByteArray read = "left over from before";
    QString error;
    ASSERT_TRUE(ReadWholeFile(path, read, error)) << error.toStdString();
    EXPECT_EQ(read.size(), size);
    EXPECT_TRUE(read == written);
  }
}

TEST(AdviseHugePages, LeavesContentsAndUseAlone) {
  const struct {
    qsizetype offset;
    qsizetype size;
  } ranges[] = {{0, 0}, {1, 1}, {3, 2 * kMiB}, {0, 8 * kMiB}, {4097, 5 * kMiB + 3}, {8 * kMiB - 1, 1}};
  QByteArray buffer = pattern(8 * kMiB);
  const QByteArray before = buffer;
  for (const auto& range : ranges) {
    SCOPED_TRACE(range.offset);
    AdviseHugePages(buffer.data() + range.offset, static_cast<size_t>(range.size));
    EXPECT_TRUE(buffer == before);
  }
  // Still ordinary memory: written and read back like any other.
  for (qsizetype i = 0; i < buffer.size(); i += 4096) buffer[i] = 'w';
  for (qsizetype i = 0; i < buffer.size(); i += 4096) ASSERT_EQ(buffer[i], 'w') << i;
}

TEST(AppendFileLines, ALargeFileKeepsEveryRowInPlace) {
  // Enough lines that the row index itself spans several huge pages.
  constexpr int kLines = 400'000;
  QByteArray file = "name\tvalue\r\n";
  for (int i = 1; i < kLines; ++i) file += "row" + QByteArray::number(i) + "\t" + QByteArray::number(i * 7) + "\r\n";
  SheetStore store;
  store.setColCount(3);
  store.appendFileLines(file);
  ASSERT_EQ(store.rowCount(), kLines);
  for (const int row : {1, 2, 131'071, 131'072, 262'144, kLines - 1}) {
    SCOPED_TRACE(row);
    EXPECT_EQ(store.cell(row, 0), QByteArray::number(row));
    EXPECT_EQ(store.cell(row, 1), "row" + QByteArray::number(row));
    EXPECT_EQ(store.cell(row, 2), QByteArray::number(row * 7));
  }
  EXPECT_EQ(store.cell(0, 1), "name");
}

}  // namespace
