// The per-file codec (which one a file gets, and that it never changes a
// byte) and the sheet model that shows the bytes through it, checked by Qt's
// model tester while it changes.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QSet>
#include <QSignalSpy>

#include "platform/TextCodec.h"
#include "sheet/SheetModel.h"

namespace {

TEST(TextCodec, ChoosesUtf8OnlyForValidTextWithHighBytes) {
  const std::pair<QByteArray, bool> cases[] = {
      {"plain ascii", false},         {"\xC3\xBF" "c1Gold", true},        // colour code as the game stores it
      {"\xE6\x97\xA5\xE6\x9C\xAC", true}, {"\xF0\x9F\x98\x80", true},     // CJK, outside the basic plane
      {"Caf\xE9", false},             {"\x85\x92", false},                // Latin-1 and sheet punctuation
      {"\xC3", false},                {"\xC0\x80", false},                // cut short, overlong
      {"\xED\xA0\x80", false},        {"\xF4\x90\x80\x80", false},        // surrogate, past U+10FFFF
      {"abcdefgh\xC3\xA9ijklmnop", true}, {"abcdefghijklmno\xE9", false},
  };
  for (const auto& [bytes, utf8] : cases)
    EXPECT_EQ(TextCodec::ForBytes(bytes).kind() == TextCodec::Kind::Utf8, utf8) << bytes.toHex().constData();
  // Many texts choose together: UTF-8 only when every one is valid.
  EXPECT_EQ(TextCodec::ForTexts({"key", "\xC3\xBF" "c1"}).kind(), TextCodec::Kind::Utf8);
  EXPECT_EQ(TextCodec::ForTexts({"\xC3\xBF" "c1", "Caf\xE9"}).kind(), TextCodec::Kind::Windows1252);
}

TEST(TextCodec, DecodeThenEncodeKeepsEveryByte) {
  const TextCodec latin(TextCodec::Kind::Windows1252);
  QByteArray all;
  for (int b = 0; b < 256; ++b) all.append(static_cast<char>(b));
  const QString text = latin.Decode(all);
  EXPECT_EQ(QSet<QChar>(text.begin(), text.end()).size(), 256);
  EXPECT_EQ(latin.Encode(text), all);

  const TextCodec utf8(TextCodec::Kind::Utf8);
  const QByteArray bom = "\xEF\xBB\xBF" "bom";  // a leading U+FEFF is a character of the cell
  for (const QByteArray& bytes : {bom, QByteArray("\xE6\x97\xA5 \xF0\x9F\x98\x80 \xEF\xBF\xBE\xEF\xBF\xBF")})
    EXPECT_EQ(utf8.Encode(utf8.Decode(bytes)), bytes);

  // What a file cannot hold becomes a question mark.
  EXPECT_EQ(latin.Encode(QString::fromUtf8("\xE2\x82\xAC \xE6\x97\xA5 \xF0\x9F\x98\x80")), "\x80 ? ?");
  EXPECT_EQ(utf8.Encode(QString("a") + QChar(0xD800)), "a?");
}

TEST(SheetModel, ShowsTheSheetAndAnnouncesChanges) {
  SheetModel model;
  QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
  model.setColCount(3);
  model.appendFileLines("name\tcost\r\nsword\t10\r\naxe\t\xC3\xA9\r\n");
  ASSERT_EQ(QSize(model.columnCount(), model.rowCount()), QSize(2, 2));
  // Row 0 and column 0 of the sheet are the headers; no cell edits itself.
  EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString(), "cost");
  EXPECT_EQ(model.headerData(1, Qt::Vertical).toString(), "2");
  EXPECT_FALSE(model.flags(model.index(0, 0)) & Qt::ItemIsEditable);
  EXPECT_EQ(model.data(model.index(1, 1)).toString(), QString::fromLatin1("\xC3\xA9"));
  model.setCodec(TextCodec(TextCodec::Kind::Utf8));
  EXPECT_EQ(model.data(model.index(1, 1)).toString(), QString::fromUtf8("\xC3\xA9"));

  QSignalSpy dataChanged(&model, &QAbstractItemModel::dataChanged);
  QSignalSpy headerChanged(&model, &QAbstractItemModel::headerDataChanged);
  model.setCell(2, 2, "new");
  model.setCell(0, 1, "A");
  ASSERT_EQ(dataChanged.size(), 1);
  EXPECT_EQ(dataChanged.at(0).at(0).toModelIndex(), model.index(1, 1));
  EXPECT_EQ(model.data(model.index(1, 1)).toString(), "new");
  EXPECT_EQ(headerChanged.size(), 1);
  EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), "A");
  model.setRowCount(0);
  model.setColCount(1);
  EXPECT_EQ(model.columnCount(), 0);
}

}  // namespace
