// A sheet on its own: what a file becomes in the store and what the store
// writes back, untouched and after edits; the model that shows the store
// through a codec; and reading a file whole.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QBuffer>
#include <QSignalSpy>
#include <tuple>
#include <memory>

#include "TestFiles.h"
#include "platform/TextCodec.h"
#include "sheet/SheetDocument.h"
#include "sheet/SheetFile.h"
#include "sheet/SheetModel.h"
#include "sheet/SheetStore.h"

namespace {

// Loads bytes through the editor's own load.
std::unique_ptr<SheetDocument> load(const QByteArray& file) {
  auto sheet = std::make_unique<SheetDocument>();
  sheet->LoadFromBytes(file, TextCodec::HasHighByte(file));
  return sheet;
}

QByteArray save(const SheetStore& store) {
  QBuffer out;
  out.open(QIODevice::WriteOnly);
  EXPECT_TRUE(WriteSheet(store, out));
  return out.data();
}

TEST(SheetFormat, LoadsAndSavesBack) {
  QByteArray many;
  for (int i = 0; i < 200'000; ++i) many += QByteArray::number(i) + (i % 3 ? "\t" : "\t\t");
  const struct {
    const char* name;
    QByteArray file;
    QByteArray cells;  // as loaded
    QByteArray saved;
    QList<std::tuple<int, int, QByteArray>> edits = {};  // row, column, text
    int rows = -1;  // then cut to this many rows; -1: none cut
  } cases[] = {
      {"last_line_without_break", "a\tb\r\n1\t2", "|a|b\n1|1|2\n", "a\tb\r\n1\t2\r\n"},
      {"lone_cr_ends_the_last_line", "a\tb\r\n1\t2\r", "|a|b\n1|1|2\r\n", "a\tb\r\n1\t2\r\r\n"},
      {"lf_comes_back_crlf", "a\tb\n1\t2\n", "|a|b\n1|1|2\n", "a\tb\r\n1\t2\r\n"},
      {"empty_line", "a\tb\r\n\r\n1\t2\r\n", "|a|b\n1||\n2|1|2\n", "a\tb\r\n\t\r\n1\t2\r\n"},
      {"many_tabbed_line_longer_than_a_write_block", "a\tb\r\n" + many + "\r\n", "|a|b\n1|0|\n", "a\tb\r\n" + many + "\r\n"},
      {"header_without_tab", "name\r\nx\r\n", "|name\n1|x\n", "name\r\nx\r\n"},
      {"empty_file", "", "", ""},
      {"quotes_blanks_empty", "\"a\"\t b \r\n\"\t\t\r\n", "|\"a\"| b \n1|\"|\n", "\"a\"\t b \r\n\"\t\t\r\n"},
      {"cr_inside_and_doubled", "a\rb\tc\r\r\n", "|a\rb|c\r\n", "a\rb\tc\r\r\n"},
      {"nul_bytes", QByteArray("a\0b\tc\r\n", 7), QByteArray("|a\0b|c\n", 7), QByteArray("a\0b\tc\r\n", 7)},
      // Edits: written with their new text, everything else as it was.
      {"edited_and_emptied", "a\tb\tc\r\n1\t2\t3\r\n4\t5\r\n", "|a|b|c\n1|1|2|3\n2|4|5|\n",
       "a\tb\tc\r\n1\ttwo\t3\r\n\t5\t\r\n", {{1, 2, "two"}, {2, 1, ""}}},
      {"pasted_tab_adds_a_field", "a\tb\r\n1\t2\r\n", "|a|b\n1|1|2\n", "a\tC\tD\r\n1\t2\r\n", {{0, 2, "C\tD"}}},
      {"fields_past_the_last_column_kept", "a\tb\r\n1\t2\t3\t4\r\n", "|a|b\n1|1|2\n", "a\tb\r\none\t2\t3\t4\r\n",
       {{1, 1, "one"}}},
      {"short_record_edited_past_its_end", "a\tb\tc\r\n1\r\n", "|a|b|c\n1|1||\n", "a\tb\tc\r\n1\t\tz\r\n", {{1, 3, "z"}}},
      // Cut to fewer rows, down to the header alone and to none: the lines kept.
      {"cut_to_two_rows", "a\tb\r\n1\t2\r\n3\t4\r\n", "|a|b\n1|1|2\n2|3|4\n", "a\tb\r\n1\t2\r\n", {}, 2},
      {"cut_to_the_header", "a\tb\r\n1\t2\r\n3\t4\r\n", "|a|b\n1|1|2\n2|3|4\n", "a\tb\r\n", {}, 1},
      {"cut_to_nothing", "a\tb\r\n1\t2\r\n", "|a|b\n1|1|2\n", "", {}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto sheet = load(c.file);
    EXPECT_EQ(CellsOf(sheet->Store()), c.cells);
    for (const auto& [row, col, text] : c.edits) sheet->SetCell(row, col, text);
    if (c.rows >= 0) sheet->SetRowCount(c.rows);
    EXPECT_EQ(save(sheet->Store()), c.saved);
  }
}

// Untouched lines go out padded with tabs to the header's width. The tabs are
// counted eight bytes at a time, so every length and tab placement around
// those steps is checked, with bytes one bit away from a tab among them.
TEST(SheetFormat, PadsEveryLineToTheHeaderWidth) {
  const char filler[] = {'a', '\x89', '\x08', '\x0b', '\x19', '\0', '\xff', ' '};
  for (const int fields : {1, 2, 3, 9, 20, 40}) {
    QByteArray file = QByteArray(fields - 1, '\t') + "\r\n", expected = file;
    for (int length = 0; length <= 26; ++length)
      for (int every = 1; every <= 9; ++every) {  // a tab every `every` bytes; 9: none
        QByteArray line;
        for (int i = 0; i < length; ++i) line += every < 9 && i % every == every - 1 ? '\t' : filler[(i + every) % 8];
        file += line + "\r\n";
        expected += line + QByteArray(std::max<qsizetype>(0, fields - 1 - line.count('\t')), '\t') + "\r\n";
      }
    EXPECT_EQ(save(load(file)->Store()), expected) << fields << " fields";
  }
}

// The sheet model that shows a sheet's bytes through its codec, checked by
// Qt's model tester while the document changes the sheet. Row 0 and column 0
// of the sheet are the headers; no cell edits itself.
TEST(SheetModel, ShowsTheSheetAndAnnouncesChanges) {
  SheetDocument document;
  SheetModel& model = document.Model();
  QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
  document.SetColCount(3);
  document.AppendFileLines(QByteArray("name\tcost\r\nsword\t10\r\naxe\t\xC3\xA9\r\n"));
  const auto shown = [&] {  // a column name, a label and a cell
    return QStringList({model.headerData(1, Qt::Horizontal).toString(), model.headerData(1, Qt::Vertical).toString(),
                        model.data(model.index(1, 1)).toString()});
  };
  EXPECT_EQ(shown(), QStringList({"cost", "2", "\u00C3\u00A9"}));
  EXPECT_FALSE(model.flags(model.index(0, 0)) & Qt::ItemIsEditable);
  document.SetCodec(TextCodec(TextCodec::Kind::Utf8));
  EXPECT_EQ(shown(), QStringList({"cost", "2", "\u00E9"}));

  QSignalSpy dataChanged(&model, &QAbstractItemModel::dataChanged);
  QSignalSpy headerChanged(&model, &QAbstractItemModel::headerDataChanged);
  document.SetCell(2, 2, "new");
  document.SetCell(0, 2, "A");
  document.AppendRow("\tdagger\t5");  // a row with no label keeps its cells
  ASSERT_EQ(QList<qsizetype>({dataChanged.size(), headerChanged.size()}), QList<qsizetype>({1, 1}));
  EXPECT_EQ(dataChanged.at(0).at(0).toModelIndex(), model.index(1, 1));
  EXPECT_EQ(shown(), QStringList({"A", "2", "new"}));
  EXPECT_EQ(QStringList({model.headerData(2, Qt::Vertical).toString(), model.data(model.index(2, 1)).toString()}),
            QStringList({"", "5"}));
  document.SetRowCount(0);
  document.SetColCount(1);
  EXPECT_EQ(model.columnCount(), 0);
}

// Reading a sheet file: the load reads it in blocks into one buffer, advised
// for huge pages, and looks for bytes of 0x80 or more in each block as it
// comes in. Every byte must arrive, and the answer must be right wherever
// the high byte sits.
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
    const QString path = WriteBytes(dir.filePath("sheet.txt"), written);
    QByteArray read = "left over";
    QString error;
    bool high = !(c.high >= 0);  // the opposite of the answer, to see it written
    ASSERT_TRUE(ReadWholeFile(path, read, error, &high)) << error.toStdString();
    EXPECT_TRUE(read == written);
    EXPECT_EQ(high, c.high >= 0);
  }
}

}  // namespace
