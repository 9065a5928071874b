// The reader and the checksum, over tables written as the game writes them
// and over hostile files (run under the sanitizers). The document and the
// key list over it are checked through the key browser.
#include <gtest/gtest.h>

#include "TableWriter.h"
#include "strtable/KeyNames.h"
#include "strtable/RegionCrc.h"
#include "strtable/StringTable.h"
#include "strtable/TableCodec.h"

namespace {

using Entries = std::vector<TableEntry>;

struct ReadCase { const char* name; QByteArray file; Entries entries; };

ReadCase Game(const char* name, const Entries& entries, TableWriterOptions options = {}) {
  return {name, WriteStringTable(entries, options), entries};
}
std::vector<TableEntry> Numbered(int count) {
  std::vector<TableEntry> entries;
  for (int i = 0; i < count; ++i) entries.push_back({"k" + QByteArray::number(i), "v" + QByteArray::number(i)});
  return entries;
}
// A copy of `f` with one field changed.
QByteArray Put16(QByteArray f, qint64 at, quint16 v) { PutU16(f, at, v); return f; }
QByteArray Put32(QByteArray f, qint64 at, quint32 v) { PutU32(f, at, v); return f; }
// Index array c, a, c: out of order, with a repeat.
QByteArray Reindexed() {
  const QByteArray f = WriteStringTable({{"a", "1"}, {"b", "2"}, {"c", "3"}});
  return Put16(Put16(Put16(f, 21, GetU16(f, 25)), 23, GetU16(f, 21)), 25, GetU16(f, 25));
}
// One node at 23 (key offset at 30, value offset 34, length 38), then "k\0" at 40, the value at 42.
QByteArray OneNode(const QByteArray& value = "v") { return WriteStringTable({{"k", value}}, {.nodeCount = 1}); }
// The texts first, then the one node (index 1, at 40), whose value length ends the file.
QByteArray NodeLast() {
  const QByteArray f = OneNode();
  QByteArray last = f.first(23) + f.sliced(40) + QByteArray(13, '\0') + f.sliced(23, 17);
  return Put16(Put32(Put32(last, 47, 23), 51, 25), 21, 1);
}

const QByteArray kHigh[] = {"\xC3\xBF" "c1", "\xE5\x89\xA3\xE3\x81\xAE", "Dagger\x85 isn\x92t"};  // ÿc1, CJK, 1252

TEST(StringTable, ReadsOnlyWhatTheFileHolds) {
  const ReadCase cases[] = {
      Game("NoEntries", {}), Game("OneEntry", {{"only", "one"}}), Game("AllEntries", Numbered(65535)),
      Game("VersionOne", Numbered(3), {.version = 1}), Game("DuplicateKeys", {{"d", "1"}, {"x", "2"}, {"d", "3"}}),
      Game("LongTexts", {{QByteArray(99, 'k'), "99"}, {QByteArray(300, 'L'), QByteArray(65000, 'v')}}),
      Game("HighBytes", {{kHigh[0], kHigh[1]}, {kHigh[1], kHigh[2]}, {kHigh[2], kHigh[0]}}),
      {"IndexOrder", Reindexed(), {{"c", "3"}, {"a", "1"}, {"c", "3"}}},
      {"ZeroCutsValue", WriteStringTable({{"k", QByteArray("ab\0cd", 5)}}), {{"k", "ab"}}},
      {"ZeroLengthFile", {}, {}}, {"HeaderCut", QByteArray("\0\0\5", 3), {}},
      {"CountLargerThanFile", Put16(OneNode(), 2, 65535), Entries(65535)},
      {"IndexPastNodes", Put16(WriteStringTable(Numbered(2)), 23, 65535), {{"k0", "v0"}, {"", ""}}},
      {"NodeEndsTheFile", NodeLast(), {{"k", "v"}}},
      {"KeyOffsetAtEnd", Put32(OneNode(), 30, 44), {{"", "v"}}},
      {"KeyOffsetFarPastEnd", Put32(OneNode(), 30, 0xFFFFFFFF), {{"", "v"}}},
      {"KeyWithoutZero", Put32(OneNode() + "tail", 30, 44), {{"tail", "v"}}},
      {"ValueWithoutZero", Put16(OneNode("abcdef"), 38, 2), {{"k", "abc"}}},
      {"ValueLengthPastEnd", Put16(Put32(OneNode() + "end", 34, 44), 38, 65535), {{"k", "end"}}},
      // entry 1's value offset (node 1 at 42) past the end, after entry 0 read a value
      {"NoStaleValue", Put32(WriteOverlappingTable("v", 2, 0, 0, 1), 53, ~0u), {{"v", "v"}, {"v", ""}}}};
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<char> bytes(c.file.begin(), c.file.end());
    const StringTable t = ParseStringTable(QByteArray::fromRawData(bytes.data(), qsizetype(bytes.size())));
    bytes.assign(bytes.size(), 'X');  // the caller's buffer changes: the table must keep its own bytes
    Entries read;  // as many keys as values, or at() throws
    for (size_t i = 0; i < std::max(t.m_keyNames.size(), t.m_values.size()); ++i)
      read.push_back({t.m_keyNames.at(i).toByteArray(), t.m_values.at(i).toByteArray()});
    EXPECT_EQ(read, c.entries);
  }
}

// The region [u32 at 9, u32 at 17) against the sum one bit at a time (whose
// check value the key browser's captions pin): only bytes the file holds are summed.
TEST(Crc16, TableAndRegion) {
  const struct { qint64 size; quint32 start, end; qint64 from, to; } cases[] = {
      {100, 50, 50, 0, 0}, {100, 30, 60, 30, 60}, {100, 40, 5000, 40, 100}, {100, 60, 10, 60, 100},
      {100, 0xFFFFFFF0, 0xFFFFFFFF, 0, 0}, {0, 0, 0, 0, 0}, {300000, 0, 300000, 0, 300000}};
  for (const auto& c : cases) {
    QByteArray file(c.size, '\0');
    for (qint64 i = 0; i < c.size; ++i) file[i] = char(i * 131 + 7);  // every byte value
    if (c.size > 0) {
      PutU32(file, 9, c.start);
      PutU32(file, 17, c.end);
    }
    EXPECT_EQ(ComputeRegionCrc(QByteArrayView(file)), BitwiseCrc16(QByteArrayView(file).sliced(c.from, c.to - c.from))) << c.start;
  }
}

// The one-pass judge that hostile tables are checked with must say of every
// stretch of a file what a check of that stretch alone says: a text that
// starts or ends inside a sequence is not valid UTF-8.
TEST(Utf8Map, JudgesEveryStretchAsTheTextAlone) {
  const QByteArray files[] = {"a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z", "\xC0\x80\xED\xA0\x80\xE2\x82\xC3",
                              "\x85\xC3\xBF" "c1\xE5\x89\xA3\x92\xF4\x90\x80\x80"};
  for (const QByteArray& file : files) {
    const Utf8Map map(file);
    for (qsizetype from = 0; from < file.size(); ++from)
      for (qsizetype length = 1; from + length <= file.size(); ++length) {
        const QByteArrayView text = QByteArrayView(file).sliced(from, length);
        EXPECT_EQ(map.IsValidUtf8(text), TextCodec::IsValidUtf8(text)) << file.toHex().constData() << " " << from << "+" << length;
        EXPECT_EQ(map.HasHighByte(text), TextCodec::HasHighByte(text));
      }
  }
}

// A long key shows its first 256 characters and "…", in either codec and
// however many bytes a character takes, and never half of a pair.
TEST(KeyListText, ShowsTheFirst256CharactersOfALongKey) {
  const TextCodec latin(TextCodec::Kind::Windows1252), utf8(TextCodec::Kind::Utf8);
  const QString sword(1, QChar(0x5263)), more(1, QChar(0x2026));
  const struct { const TextCodec& codec; QByteArray key; QString shown; } cases[] = {
      {latin, QByteArray(256, 'k'), QString(256, 'k')},
      {latin, QByteArray(257, 'k'), QString(256, 'k') + more},
      {utf8, sword.repeated(256).toUtf8(), sword.repeated(256)},
      {utf8, sword.repeated(300).toUtf8(), sword.repeated(256) + more},
      {utf8, QByteArray(255, 'a') + "\xF0\x9F\x98\x80" "b", QString(255, 'a') + more},
  };
  for (const auto& c : cases) EXPECT_EQ(KeyListText(c.codec, c.key), c.shown) << c.key.size() << " bytes";
}

}  // namespace
