// The per-file codec: which one a file gets, and that it never changes a byte.
#include <gtest/gtest.h>

#include <QSet>

#include "platform/TextCodec.h"

namespace {

TEST(TextCodec, ChoosesUtf8OnlyForValidTextWithHighBytes) {
  const struct {
    QByteArray bytes;
    TextCodec::Kind kind;
  } cases[] = {
      {"plain ascii", TextCodec::Kind::Windows1252},
      {"\xC3\xBF" "c1Gold", TextCodec::Kind::Utf8},                  // colour code as the game stores it
      {"\xE6\x97\xA5\xE6\x9C\xAC", TextCodec::Kind::Utf8},           // CJK
      {"\xF0\x9F\x98\x80", TextCodec::Kind::Utf8},                   // outside the basic plane
      {"Caf\xE9", TextCodec::Kind::Windows1252},                      // lone Latin-1 byte
      {"\x85\x92", TextCodec::Kind::Windows1252},                     // ellipsis and quote of sheets
      {"\xC3", TextCodec::Kind::Windows1252},                         // cut short at the end
      {"\xC0\x80", TextCodec::Kind::Windows1252},                     // overlong
      {"\xED\xA0\x80", TextCodec::Kind::Windows1252},                 // surrogate
      {"\xF4\x90\x80\x80", TextCodec::Kind::Windows1252},             // past U+10FFFF
      {"abcdefgh\xC3\xA9ijklmnop", TextCodec::Kind::Utf8},           // high byte between ASCII words
      {"abcdefghijklmno\xE9", TextCodec::Kind::Windows1252},
  };
  for (const auto& c : cases) EXPECT_EQ(TextCodec::ForBytes(c.bytes).kind(), c.kind) << c.bytes.toHex().constData();
}

TEST(TextCodec, TextsChooseTogether) {
  EXPECT_EQ(TextCodec::ForTexts({"key", "\xC3\xBF" "c1"}).kind(), TextCodec::Kind::Utf8);
  EXPECT_EQ(TextCodec::ForTexts({"\xC3\xBF" "c1", "Caf\xE9"}).kind(), TextCodec::Kind::Windows1252);
  EXPECT_EQ(TextCodec::ForTexts({"a", "b"}).kind(), TextCodec::Kind::Windows1252);
  EXPECT_EQ(TextCodec::ForTexts({}).kind(), TextCodec::Kind::Windows1252);
}

TEST(TextCodec, Windows1252GivesEveryByteItsOwnCharacter) {
  const TextCodec codec(TextCodec::Kind::Windows1252);
  QByteArray all;
  for (int b = 0; b < 256; ++b) all.append(static_cast<char>(b));
  const QString text = codec.Decode(all);
  ASSERT_EQ(text.size(), 256);
  EXPECT_EQ(QSet<QChar>(text.begin(), text.end()).size(), 256);
  EXPECT_EQ(text.at(0x80), QChar(0x20AC));
  EXPECT_EQ(text.at(0x81), QChar(0x0081));
  EXPECT_EQ(text.at(0x92), QChar(0x2019));
  EXPECT_EQ(text.at(0xFF), QChar(0x00FF));
  EXPECT_EQ(codec.Encode(text), all);
}

TEST(TextCodec, CharactersTheFileCannotHoldBecomeQuestionMarks) {
  const TextCodec latin(TextCodec::Kind::Windows1252);
  EXPECT_EQ(latin.Encode(QString::fromUtf8("\xE2\x82\xAC \xE6\x97\xA5 \xF0\x9F\x98\x80")), "\x80 ? ?");
  const TextCodec utf8(TextCodec::Kind::Utf8);
  const QByteArray cjk = "\xE6\x97\xA5\xE6\x9C\xAC \xC3\xBF" "c1";
  EXPECT_EQ(utf8.Encode(utf8.Decode(cjk)), cjk);
  QString lone = QStringLiteral("a");
  lone.append(QChar(0xD800));
  EXPECT_EQ(utf8.Encode(lone), "a?");
}

}  // namespace
