// How keys and values show: the codec of a whole table, including tables whose
// texts overlap, the key list's text for a key, and finding a key by name.
#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <string>

#include "TableWriter.h"
#include "strtable/KeyNames.h"
#include "strtable/TableCodec.h"

namespace {

using Kind = TextCodec::Kind;

// What TextCodec::ForTexts says when it reads every text on its own.
Kind ReferenceKind(const StringTable& t) {
  std::vector<QByteArrayView> texts(t.m_keyNames);
  texts.insert(texts.end(), t.m_values.begin(), t.m_values.end());
  return TextCodec::ForTexts(texts).kind();
}

QByteArray Repeat(const char* piece, int times) { return QByteArray(piece).repeated(times); }

// Bytes drawn from pieces of UTF-8 and from bytes that break it.
QByteArray RandomMix(quint32 seed, int size) {
  static const char* const kPieces[] = {"a", "\xC3\xA9", "\xE5\x89\xA3", "\xF0\x9F\x98\x80", "\x80",
                                        "\xC3", "\xE5\x89", "\xFF", "\xED\xA0\x80", "\xC0\xAF", " "};
  QRandomGenerator random(seed);
  QByteArray bytes;
  while (bytes.size() < size) bytes.append(kPieces[random.bounded(int(std::size(kPieces)))]);
  return bytes;
}

// ---------------------------------------------------------------------------

struct CodecCase {
  std::string name;
  QByteArray file;
  Kind expected;
};
void PrintTo(const CodecCase& c, std::ostream* os) { *os << c.name; }

class TableCodecTest : public testing::TestWithParam<CodecCase> {};

TEST_P(TableCodecTest, AgreesWithReadingEveryText) {
  const StringTable t = ParseStringTable(GetParam().file);
  EXPECT_EQ(CodecForTable(t).kind(), GetParam().expected);
  EXPECT_EQ(ReferenceKind(t), GetParam().expected);
}

constexpr int kMany = 3000;  // enough overlap to leave the per-text check

INSTANTIATE_TEST_SUITE_P(
    KeyText, TableCodecTest,
    testing::Values(
        CodecCase{"PlainTable", WriteStringTable({{"a", "b"}}), Kind::Windows1252},
        CodecCase{"Utf8Table", WriteStringTable({{"a", "\xC3\xBF" "c1"}}), Kind::Utf8},
        CodecCase{"OverlapAscii", WriteOverlappingTable(Repeat("ab", 2000), kMany, 1, 3, 500), Kind::Windows1252},
        CodecCase{"OverlapAtCharacterStarts",
                  WriteOverlappingTable(Repeat("\xE5\x89\xA3", 2000), kMany, 3, 6, 299), Kind::Utf8},
        CodecCase{"OverlapFourByteCharacters",
                  WriteOverlappingTable(Repeat("\xF0\x9F\x98\x80", 1500), kMany, 4, 8, 399), Kind::Utf8},
        CodecCase{"KeyStartsInsideCharacter",
                  WriteOverlappingTable(Repeat("\xC3\xA9", 3000), kMany, 1, 2, 99), Kind::Windows1252},
        CodecCase{"ValueLengthSplitsCharacter",
                  WriteOverlappingTable(Repeat("\xC3\xA9", 3000), kMany, 2, 2, 100), Kind::Windows1252},
        CodecCase{"BadByteInsideEveryText",
                  WriteOverlappingTable(Repeat("\xC3\xA9", 3000) + "\xFF", kMany, 2, 2, 65535),
                  Kind::Windows1252},
        CodecCase{"BadByteAfterEveryText",  // the zero byte ends every text before it
                  WriteOverlappingTable(Repeat("\xC3\xA9", 3000) + QByteArray(1, '\0') + "\xFF", kMany, 2, 2,
                                        65535),
                  Kind::Utf8}),
    [](const auto& info) { return info.param.name; });

// The one-pass judge against TextCodec on every stretch of random bytes.
TEST(KeyText, Utf8MapAgreesOnEveryStretch) {
  for (quint32 seed : {1u, 2u, 3u, 4u}) {
    const QByteArray file = RandomMix(seed, 300);
    const Utf8Map map(file);
    for (qsizetype a = 0; a < file.size(); ++a)
      for (qsizetype e = a; e <= file.size(); ++e) {
        const QByteArrayView text = QByteArrayView(file).sliced(a, e - a);
        ASSERT_EQ(map.IsValidUtf8(text), TextCodec::IsValidUtf8(text)) << seed << " " << a << ".." << e;
        ASSERT_EQ(map.HasHighByte(text), TextCodec::HasHighByte(text)) << seed << " " << a << ".." << e;
      }
  }
}

// Random overlapping tables: the table's codec is what reading each text says.
TEST(KeyText, RandomOverlapsAgree) {
  for (quint32 seed = 10; seed < 30; ++seed) {
    QRandomGenerator random(seed);
    QByteArray run = RandomMix(seed, 2000);
    if (seed % 2) run = QByteArray(run.size(), 'x');  // only valid pieces: ASCII
    if (seed % 3 == 0) run = Repeat("\xE5\x89\xA3", 700);
    const QByteArray file = WriteOverlappingTable(run, kMany, random.bounded(1, 7), random.bounded(1, 7),
                                                  static_cast<quint16>(random.bounded(1, 3000)));
    const StringTable t = ParseStringTable(file);
    EXPECT_EQ(CodecForTable(t).kind(), ReferenceKind(t)) << "seed " << seed;
  }
}

// ---------------------------------------------------------------------------

TEST(KeyText, ListTextShortensOnlyVeryLongKeys) {
  const TextCodec utf8(Kind::Utf8), cp1252(Kind::Windows1252);
  const QString ellipsis(QChar(0x2026));
  EXPECT_EQ(KeyListText(cp1252, QByteArray(256, 'k')), QString(256, 'k'));
  EXPECT_EQ(KeyListText(cp1252, QByteArray(257, 'k')), QString(256, 'k') + ellipsis);
  EXPECT_EQ(KeyListText(cp1252, QByteArray(100000, 'k')), QString(256, 'k') + ellipsis);
  EXPECT_EQ(KeyListText(utf8, Repeat("\xE5\x89\xA3", 256)), QString(256, QChar(0x5263)));
  EXPECT_EQ(KeyListText(utf8, Repeat("\xE5\x89\xA3", 5000)), QString(256, QChar(0x5263)) + ellipsis);
  // A pair of surrogates is never cut in half.
  const QString shown = KeyListText(utf8, "x" + Repeat("\xF0\x9F\x98\x80", 300));
  EXPECT_EQ(shown.size(), 256);
  EXPECT_TRUE(shown.at(254).isLowSurrogate());
}

struct FindCase {
  std::string name;
  Kind codec;
  QString search;
  int entry;
};
void PrintTo(const FindCase& c, std::ostream* os) { *os << c.name; }

class FindKeyEntryTest : public testing::TestWithParam<FindCase> {};

TEST_P(FindKeyEntryTest, FirstWholeKeyIgnoringCase) {
  static const StringTable table = ParseStringTable(WriteStringTable({
      {"abc", ""}, {"ABC", ""}, {"", ""}, {QByteArray(1000, 'L'), ""},
      {"\xC3\xBF" "c1", ""}, {"\xE5\x89\xA3", ""}, {"\xF0\x9F\x98\x80", ""}, {"Dagger\x85", ""}}));
  const FindCase& c = GetParam();
  EXPECT_EQ(FindKeyEntry(table, TextCodec(c.codec), c.search), c.entry);
}

INSTANTIATE_TEST_SUITE_P(
    KeyText, FindKeyEntryTest,
    testing::Values(
        FindCase{"Exact", Kind::Utf8, "abc", 0}, FindCase{"OtherCase", Kind::Utf8, "aBC", 0},
        FindCase{"Prefix", Kind::Utf8, "ab", -1}, FindCase{"Empty", Kind::Utf8, "", 2},
        FindCase{"LongKeyWhole", Kind::Utf8, QString(1000, 'l'), 3},
        FindCase{"LongKeyAsShown", Kind::Utf8, QString(256, 'L') + QChar(0x2026), -1},
        FindCase{"ColourCodeCapital", Kind::Utf8, QString::fromUtf8("\u0178C1"), 4},
        FindCase{"Cjk", Kind::Utf8, QString::fromUtf8("\u5263"), 5},
        FindCase{"OutsideBasicPlane", Kind::Utf8, QString::fromUtf8("\U0001F600"), 6},
        FindCase{"Windows1252", Kind::Windows1252, QString::fromUtf8("DAGGER\u2026"), 7},
        FindCase{"Windows1252ShowsBytes", Kind::Windows1252, QString::fromUtf8("\u00C3\u00BFc1"), 4}),
    [](const auto& info) { return info.param.name; });

}  // namespace
