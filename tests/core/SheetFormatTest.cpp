// The tab sheet format: what a file becomes in the store, and what the store
// writes back.
#include <gtest/gtest.h>

#include <QBuffer>

#include "sheet/SheetFile.h"
#include "sheet/SheetStore.h"

namespace {

// Loads bytes the way the editor does: columns from the header's tabs, then
// every line labelled with its number.
SheetStore load(const QByteArray& file) {
  SheetStore store;
  store.setColCount(static_cast<int>(HeaderTabCount(file)) + 2);
  store.appendFileLines(file);
  return store;
}

QByteArray save(const SheetStore& store) {
  QBuffer out;
  out.open(QIODevice::WriteOnly);
  EXPECT_TRUE(WriteSheet(store, out));
  return out.data();
}

// Every cell of the store, rows as tab-joined texts with the label first.
QList<QByteArray> cells(const SheetStore& store) {
  QList<QByteArray> rows;
  for (int r = 0; r < store.rowCount(); ++r) {
    QList<QByteArray> row;
    for (int c = 0; c < store.colCount(); ++c) row << store.cell(r, c);
    rows << row.join('|');
  }
  return rows;
}

struct LoadCase {
  const char* name;
  QByteArray file;
  int cols;
  QList<QByteArray> rows;  // cells joined by '|', label first
  QByteArray saved;        // what an unedited save writes
};

class SheetLoadTest : public testing::TestWithParam<LoadCase> {};

TEST_P(SheetLoadTest, LoadsAndSavesBack) {
  const LoadCase& c = GetParam();
  const SheetStore store = load(c.file);
  EXPECT_EQ(store.colCount(), c.cols);
  EXPECT_EQ(cells(store), c.rows);
  EXPECT_EQ(save(store), c.saved);
}

INSTANTIATE_TEST_SUITE_P(
    Files, SheetLoadTest,
    testing::Values(
        LoadCase{"three_by_three", "a\tb\tc\r\n1\t2\t3\r\n4\t5\t6\r\n", 4,
                 {"|a|b|c", "1|1|2|3", "2|4|5|6"}, "a\tb\tc\r\n1\t2\t3\r\n4\t5\t6\r\n"},
        LoadCase{"last_line_without_break", "a\tb\r\n1\t2", 3, {"|a|b", "1|1|2"}, "a\tb\r\n1\t2\r\n"},
        LoadCase{"lf_only_comes_back_crlf", "a\tb\n1\t2\n", 3, {"|a|b", "1|1|2"}, "a\tb\r\n1\t2\r\n"},
        LoadCase{"empty_line_in_the_middle", "a\tb\r\n\r\n1\t2\r\n", 3, {"|a|b", "1||", "2|1|2"},
                 "a\tb\r\n\t\r\n1\t2\r\n"},
        LoadCase{"short_record_padded", "a\tb\tc\r\n1\r\n", 4, {"|a|b|c", "1|1||"}, "a\tb\tc\r\n1\t\t\r\n"},
        LoadCase{"long_record_kept_whole", "a\tb\r\n1\t2\t3\t4\r\n", 3, {"|a|b", "1|1|2"},
                 "a\tb\r\n1\t2\t3\t4\r\n"},
        LoadCase{"header_without_tab", "name\r\nx\r\n", 2, {"|name", "1|x"}, "name\r\nx\r\n"},
        LoadCase{"empty_file", "", 2, {}, ""},
        LoadCase{"lone_line_break", "\n", 2, {"|"}, "\r\n"},
        LoadCase{"cr_inside_and_doubled", "a\rb\tc\r\r\n", 3, {"|a\rb|c\r"}, "a\rb\tc\r\r\n"},
        LoadCase{"nul_bytes_kept", QByteArray("a\0b\tc\r\n", 7), 3, {QByteArray("|a\0b|c", 6)},
                 QByteArray("a\0b\tc\r\n", 7)},
        LoadCase{"quotes_and_blanks_untouched", "\"a\"\t b \r\n\"\t\t\r\n", 3, {"|\"a\"| b ", "1|\"|"},
                 "\"a\"\t b \r\n\"\t\t\r\n"}),
    [](const testing::TestParamInfo<LoadCase>& info) { return std::string(info.param.name); });

TEST(SheetFormat, EveryByteButTabAndBreaksRoundTrips) {
  QByteArray header = "h1\th2\r\n";
  QByteArray record;
  for (int b = 1; b < 256; ++b)
    if (b != '\t' && b != '\r' && b != '\n') record.append(static_cast<char>(b));
  const QByteArray file = header + record + "\t" + record + "\r\n";
  const SheetStore store = load(file);
  EXPECT_EQ(store.cell(1, 1), record);
  EXPECT_EQ(store.cell(1, 2), record);
  EXPECT_EQ(save(store), file);
}

TEST(SheetFormat, LabelsKeepCountingPastSixteenBits) {
  QByteArray file = "h\n";
  for (int i = 1; i <= 70000; ++i) file += QByteArray::number(i) + "\n";
  const SheetStore store = load(file);
  ASSERT_EQ(store.rowCount(), 70001);
  EXPECT_EQ(store.cell(32767, 0), "32767");
  EXPECT_EQ(store.cell(32768, 0), "32768");
  EXPECT_EQ(store.cell(70000, 0), "70000");
  EXPECT_EQ(store.cell(70000, 1), "70000");
}

TEST(SheetFormat, AHugeLineLoadsWhole) {
  const QByteArray big(1 << 20, 'x');
  const SheetStore store = load("a\tb\r\n" + big + "\t" + big + "\r\n");
  EXPECT_EQ(store.cell(1, 1), big);
  EXPECT_EQ(store.cell(1, 2), big);
}

TEST(SheetStore, EditsAreWrittenAndOtherRowsStayByteExact) {
  SheetStore store = load("a\tb\tc\r\n1\t2\t3\r\n4\t5\r\n");
  store.setCell(1, 2, "two");
  store.setCell(2, 1, "");
  store.setCell(0, 3, "C\tD");  // a pasted tab gives the line one more field
  EXPECT_EQ(store.cell(1, 1), "1");
  EXPECT_EQ(store.cell(1, 2), "two");
  EXPECT_EQ(store.cell(1, 3), "3");
  EXPECT_EQ(save(store), "a\tb\tC\tD\r\n1\ttwo\t3\r\n\t5\t\r\n");
}

TEST(SheetStore, EditKeepsFieldsPastTheLastColumn) {
  SheetStore store = load("a\tb\r\n1\t2\t3\t4\r\n");
  store.setCell(1, 1, "one");
  EXPECT_EQ(save(store), "a\tb\r\none\t2\t3\t4\r\n");
}

TEST(SheetStore, AddItemFillsCellsFromTheLabelColumn) {
  SheetStore store;
  store.setColCount(3);
  store.appendRow("\tname\tvalue");
  store.appendRow("1\tx\ty");
  store.appendRow("label\tonly");
  store.appendRow("");
  EXPECT_EQ(cells(store), (QList<QByteArray>{"|name|value", "1|x|y", "label|only|", "||"}));
  EXPECT_EQ(save(store), "name\tvalue\r\nx\ty\r\nonly\t\r\n\t\r\n");
}

TEST(SheetStore, RowCountAndClear) {
  SheetStore store = load("a\tb\r\n1\t2\r\n3\t4\r\n");
  store.setCell(2, 1, "edited");
  store.setRowCount(2);
  store.setRowCount(4);
  EXPECT_EQ(cells(store), (QList<QByteArray>{"|a|b", "1|1|2", "||", "||"}));
  store.clearCells();
  EXPECT_EQ(store.rowCount(), 4);
  EXPECT_EQ(cells(store), (QList<QByteArray>{"||", "||", "||", "||"}));
  EXPECT_EQ(store.cell(9, 9), QByteArray());
  store.setCell(9, 9, "ignored");
  store.setCell(-1, 1, "ignored");
  EXPECT_EQ(store.rowCount(), 4);
}

}  // namespace
