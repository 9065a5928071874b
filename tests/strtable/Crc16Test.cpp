// The CRC-16 table and register step, and the checksummed region of a file.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <string>

#include "TableWriter.h"
#include "strtable/Crc16.h"
#include "strtable/RegionCrc.h"

namespace {

TEST(Crc16, TableEntries) {
  const std::pair<int, quint16> known[] = {
      {0, 0x0000}, {1, 0x1021}, {2, 0x2042}, {3, 0x3063}, {16, 0x1231}, {255, 0x1EF0}};
  for (const auto& [n, value] : known) EXPECT_EQ(crc16::kTable[n], value) << "entry " << n;
}

TEST(Crc16, CheckValues) {
  EXPECT_EQ(crc16::Of("123456789"), 0x29B1);
  EXPECT_EQ(crc16::Of(""), 0xFFFF);
}

// The table-driven step against the bit-by-bit definition, on bytes of every value.
TEST(Crc16, TableAgreesWithBitwiseDefinition) {
  QRandomGenerator random(1234);
  for (int length : {1, 2, 7, 256, 4099}) {
    QByteArray bytes(length, '\0');
    for (char& b : bytes) b = static_cast<char>(random.bounded(256));
    EXPECT_EQ(crc16::Of(bytes), BitwiseCrc16(bytes)) << "length " << length;
  }
  QByteArray all;
  for (int b = 0; b < 256; ++b) all.append(static_cast<char>(b));
  EXPECT_EQ(crc16::Of(all), BitwiseCrc16(all));
}

// ---------------------------------------------------------------------------
// The region: [u32 at 9, u32 at 17), stopping at the end of the file.

struct RegionCase {
  std::string name;
  qint64 fileSize;
  quint32 start, end;
  qint64 sumFrom, sumTo;  // the bytes that must be summed
};
void PrintTo(const RegionCase& c, std::ostream* os) { *os << c.name; }

QByteArray Patterned(qint64 size, quint32 start, quint32 end) {
  QByteArray f(size, '\0');
  for (qint64 i = 0; i < size; ++i) f[i] = static_cast<char>((i * 131 + 7) & 0xFF);
  if (size >= 13) PutU32(f, 9, start);
  if (size >= 21) PutU32(f, 17, end);
  return f;
}

class Region : public testing::TestWithParam<RegionCase> {};

TEST_P(Region, SumsOnlyBytesTheFileHolds) {
  const RegionCase& c = GetParam();
  const QByteArray file = Patterned(c.fileSize, c.start, c.end);
  const quint16 expected = BitwiseCrc16(QByteArrayView(file).sliced(c.sumFrom, c.sumTo - c.sumFrom));

  EXPECT_EQ(ComputeRegionCrc(QByteArrayView(file)), expected);

  QBuffer buffer;
  buffer.setData(file);
  ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
  EXPECT_EQ(ComputeRegionCrc(buffer), expected);

  QTemporaryDir dir;
  QFile onDisk(dir.filePath("region.tbl"));
  ASSERT_TRUE(onDisk.open(QIODevice::WriteOnly));
  onDisk.write(file);
  onDisk.close();
  ASSERT_TRUE(onDisk.open(QIODevice::ReadOnly));
  EXPECT_EQ(ComputeRegionCrc(onDisk), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Crc16, Region,
    testing::Values(
        RegionCase{"Empty", 100, 50, 50, 0, 0},
        RegionCase{"Middle", 100, 30, 60, 30, 60},
        RegionCase{"IncludesHeader", 100, 0, 100, 0, 100},
        RegionCase{"LastByte", 100, 99, 100, 99, 100},
        RegionCase{"EndPastEndOfFile", 100, 40, 5000, 40, 100},
        RegionCase{"EndBelowStart", 100, 60, 10, 60, 100},
        RegionCase{"StartAtEndOfFile", 100, 100, 200, 0, 0},
        RegionCase{"StartFarPastEnd", 100, 0xFFFFFFF0, 0xFFFFFFFF, 0, 0},
        RegionCase{"LargerThanOneChunk", 300000, 21, 300000, 21, 300000},
        RegionCase{"EndBelowStartLargeFile", 300000, 1000, 999, 1000, 300000},
        RegionCase{"ZeroLengthFile", 0, 0, 0, 0, 0},
        RegionCase{"HeaderWithoutEnd", 15, 0, 0, 0, 0}),
    [](const auto& info) { return info.param.name; });

TEST(Crc16, NineDigitsAsRegion) {
  QByteArray file(21, '\0');
  PutU32(file, 9, 21);
  PutU32(file, 17, 30);
  file.append("123456789");
  EXPECT_EQ(ComputeRegionCrc(QByteArrayView(file)), 0x29B1);
}

}  // namespace
