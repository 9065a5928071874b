// The reader over tables written the way the game writes them, then over
// files that break every rule the reader relies on.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "TableWriter.h"
#include "strtable/RegionCrc.h"
#include "strtable/StringTable.h"

namespace {

std::vector<QByteArray> Copies(const std::vector<QByteArrayView>& views) {
  std::vector<QByteArray> copies;
  for (const QByteArrayView v : views) copies.push_back(v.toByteArray());
  return copies;
}
std::vector<QByteArray> Keys(const StringTable& t) { return Copies(t.m_keyNames); }
std::vector<QByteArray> Values(const StringTable& t) { return Copies(t.m_values); }

// Every key and value must lie inside the table's own copy of the file.
void ExpectInsideFile(const StringTable& t) {
  const char* begin = t.m_fileBytes.constData();
  const char* end = begin + t.m_fileBytes.size();
  auto inside = [&](QByteArrayView v) {
    return v.isEmpty() || (v.data() >= begin && v.data() + v.size() <= end);
  };
  for (size_t i = 0; i < t.m_keyNames.size(); ++i) {
    EXPECT_TRUE(inside(t.m_keyNames[i])) << "key " << i;
    EXPECT_TRUE(inside(t.m_values[i])) << "value " << i;
  }
}

std::vector<TableEntry> Numbered(int count) {
  std::vector<TableEntry> entries;
  for (int i = 0; i < count; ++i)
    entries.push_back({"key" + QByteArray::number(i), "value of " + QByteArray::number(i)});
  return entries;
}

// ---------------------------------------------------------------------------
// Tables of the game's shape: what was written is what is read.

struct GoodCase {
  std::string name;
  std::vector<TableEntry> entries;
  TableWriterOptions options;
};
void PrintTo(const GoodCase& c, std::ostream* os) { *os << c.name; }

class GoodTable : public testing::TestWithParam<GoodCase> {};

TEST_P(GoodTable, ReadsEveryEntryInIndexOrder) {
  const GoodCase& c = GetParam();
  const QByteArray file = WriteStringTable(c.entries, c.options);
  const StringTable t = ParseStringTable(file);

  ASSERT_EQ(t.m_entryCount, c.entries.size());
  ASSERT_EQ(t.m_keyNames.size(), c.entries.size());
  for (size_t i = 0; i < c.entries.size(); ++i) {
    EXPECT_EQ(t.m_keyNames[i].toByteArray(), c.entries[i].key) << "entry " << i;
    EXPECT_EQ(t.m_values[i].toByteArray(), c.entries[i].value) << "entry " << i;
  }
  EXPECT_EQ(t.m_nodeTableOffset, 21 + 2 * c.entries.size());
  // The game stores the region's CRC in the first two bytes.
  EXPECT_EQ(ComputeRegionCrc(file), GetU16(file, 0));
  ExpectInsideFile(t);
}

const QByteArray kColourCode("\xC3\xBF" "c1Gold", 8);               // "ÿc1Gold" in UTF-8
const QByteArray kCjk("\xE5\x89\xA3\xE3\x81\xAE\xE7\x9F\xB3");      // three CJK characters
const QByteArray kWindows1252("Dagger\x85 isn\x92t", 13);          // ellipsis, right quote

std::vector<TableEntry> LongTexts() {
  return {{QByteArray(99, 'k'), "ninety-nine"},
          {QByteArray(300, 'L'), "longer than the old key field"},
          {"big", QByteArray(35000, 'v')}};
}

std::vector<TableEntry> Duplicates() {
  return {{"dup", "first"}, {"x", "between"}, {"dup", "second"}, {"DUP", "third"}};
}

INSTANTIATE_TEST_SUITE_P(
    Reader, GoodTable,
    testing::Values(
        GoodCase{"NoEntries", {}, {}},
        GoodCase{"OneEntry", {{"only", "one"}}, {}},
        GoodCase{"ManyEntries", Numbered(500), {}},
        GoodCase{"VersionOne", Numbered(20), {.version = 1}},
        GoodCase{"LengthWithoutZero", Numbered(20), {.lengthCountsZero = false}},
        GoodCase{"TextsBackwards", Numbered(20), {.textsBackwards = true}},
        GoodCase{"CrowdedHashTable", Numbered(40), {.nodeCount = 40}},
        GoodCase{"DuplicateKeys", Duplicates(), {}},
        GoodCase{"EmptyKeyAndValue", {{"", ""}, {"k", ""}, {"", "v"}}, {}},
        GoodCase{"LongKeysAndValues", LongTexts(), {}},
        GoodCase{"HighBytes", {{"gold", kColourCode}, {kCjk, kCjk}, {"w", kWindows1252}}, {}}),
    [](const auto& info) { return info.param.name; });

TEST(Reader, FullEntryCount) {
  const auto entries = Numbered(65535);
  const StringTable t = ParseStringTable(WriteStringTable(entries));
  ASSERT_EQ(t.m_keyNames.size(), 65535u);
  EXPECT_EQ(t.m_keyNames[65534].toByteArray(), "key65534");
  EXPECT_EQ(t.m_values[6000].toByteArray(), "value of 6000");
}

// ---------------------------------------------------------------------------
// The index array decides the order; nodes may be named more than once.

TEST(Reader, IndexArrayOrderAndRepeats) {
  QByteArray file = WriteStringTable({{"a", "1"}, {"b", "2"}, {"c", "3"}});
  const quint16 nodeA = GetU16(file, 21), nodeC = GetU16(file, 25);
  PutU16(file, 21, nodeC);  // entry 0 -> c
  PutU16(file, 23, nodeA);  // entry 1 -> a
  PutU16(file, 25, nodeC);  // entry 2 -> c again
  const StringTable t = ParseStringTable(file);
  EXPECT_EQ(Keys(t), (std::vector<QByteArray>{"c", "a", "c"}));
  EXPECT_EQ(Values(t), (std::vector<QByteArray>{"3", "1", "3"}));
}

TEST(Reader, ZeroInsideValueLengthCutsTheValue) {
  const QByteArray value("abc\0def", 7);
  const StringTable t = ParseStringTable(WriteStringTable({{"k", value}}));
  EXPECT_EQ(t.m_values[0].toByteArray(), "abc");
}

// ---------------------------------------------------------------------------
// Hostile files: never a crash, never a byte from outside the file, never a
// text that belongs to another entry.

struct HostileCase {
  std::string name;
  std::function<QByteArray()> make;
  std::vector<QByteArray> keys;    // expected, entry by entry
  std::vector<QByteArray> values;
};
void PrintTo(const HostileCase& c, std::ostream* os) { *os << c.name; }

// Offsets within a one-entry table written with a single node:
// header 0..20, index 21..22, node 23..39 (key offset 30, value offset 34,
// value length 38), texts from 40: "k\0" at 40, value at 42.
QByteArray OneNode(const QByteArray& value = "v") {
  return WriteStringTable({{"k", value}}, {.nodeCount = 1});
}

QByteArray Append(QByteArray file, const QByteArray& tail) { return file.append(tail); }

class HostileFile : public testing::TestWithParam<HostileCase> {};

TEST_P(HostileFile, ReadsOnlyWhatTheFileHolds) {
  const HostileCase& c = GetParam();
  const QByteArray file = c.make();
  const StringTable t = ParseStringTable(file);
  EXPECT_EQ(Keys(t), c.keys);
  EXPECT_EQ(Values(t), c.values);
  EXPECT_EQ(t.m_fileBytes, file);
  ExpectInsideFile(t);
  // Bytes that stay the caller's are copied: the table outlives them
  // (AddressSanitizer reports any view left into the freed buffer).
  StringTable fromView, fromRaw;
  {
    const std::vector<char> buffer(file.begin(), file.end());
    fromView = ParseStringTable(QByteArrayView(buffer.data(), file.size()));
    fromRaw = ParseStringTable(QByteArray::fromRawData(buffer.data(), file.size()));
  }
  EXPECT_EQ(Values(fromView), c.values);
  EXPECT_EQ(Values(fromRaw), c.values);
}

std::vector<QByteArray> Empties(int n) { return std::vector<QByteArray>(n); }

INSTANTIATE_TEST_SUITE_P(
    Reader, HostileFile,
    testing::Values(
        HostileCase{"ZeroLengthFile", [] { return QByteArray(); }, {}, {}},
        HostileCase{"CountCutByEndOfFile", [] { return QByteArray("\0\0\5", 3); }, {}, {}},
        HostileCase{"HeaderOnly",
                    [] { QByteArray f(21, '\0'); PutU16(f, 2, 3); return f; },
                    Empties(3), Empties(3)},
        HostileCase{"IndexArrayCutByEndOfFile",
                    [] { return WriteStringTable(Numbered(3)).left(21 + 3); },
                    Empties(3), Empties(3)},
        HostileCase{"CountLargerThanFile",
                    // the node array now starts past the end: nothing is readable
                    [] { QByteArray f = WriteStringTable(Numbered(3)); PutU16(f, 2, 65535); return f; },
                    Empties(65535), Empties(65535)},
        HostileCase{"IndexPastNodeArray",
                    [] { QByteArray f = WriteStringTable({{"a", "1"}, {"b", "2"}});
                         PutU16(f, 23, 65535); return f; },
                    {"a", ""}, {"1", ""}},
        HostileCase{"NodeCutAfterKeyOffset",
                    // node 1 starts at 40; its key offset (47..50) is held, its value offset is not
                    [] { QByteArray f = Append(OneNode(), QByteArray(8, '\0'));
                         PutU16(f, 21, 1); PutU32(f, 47, 40); return f; },
                    {"k"}, {""}},
        HostileCase{"KeyOffsetAtEndOfFile",
                    [] { QByteArray f = OneNode(); PutU32(f, 30, f.size()); return f; },
                    {""}, {"v"}},
        HostileCase{"KeyOffsetFarPastEnd",
                    [] { QByteArray f = OneNode(); PutU32(f, 30, 0xFFFFFFFF); return f; },
                    {""}, {"v"}},
        HostileCase{"KeyWithoutZeroByte",
                    [] { QByteArray f = Append(OneNode(), "tail"); PutU32(f, 30, f.size() - 4); return f; },
                    {"tail"}, {"v"}},
        HostileCase{"ValueWindowWithoutZero",
                    // length 2: three bytes read, no zero among them
                    [] { QByteArray f = OneNode("abcdef"); PutU16(f, 38, 2); return f; },
                    {"k"}, {"abc"}},
        HostileCase{"ValueLengthPastEnd",
                    [] { QByteArray f = Append(OneNode(), "end");
                         PutU32(f, 34, f.size() - 3); PutU16(f, 38, 65535); return f; },
                    {"k"}, {"end"}},
        HostileCase{"ValueOffsetPastEndAfterGoodValue",
                    [] { QByteArray f = WriteStringTable({{"a", "first"}, {"b", "second"}}, {.nodeCount = 2});
                         // entry 1's node: key "b" stays, value offset goes past the end
                         PutU32(f, 25 + 17 * GetU16(f, 23) + 11, f.size() + 100); return f; },
                    {"a", "b"}, {"first", ""}}),
    [](const auto& info) { return info.param.name; });

}  // namespace
