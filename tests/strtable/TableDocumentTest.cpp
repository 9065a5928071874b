// The string-table document and the key list's model over it: one read gives
// keys, values, codec and checksum; keys appended by Add Key are keys of the
// list like any other, found by the one search.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>

#include "TableWriter.h"
#include "strtable/KeyListModel.h"

namespace {

QStringList Rows(const KeyListModel& model) {
  QStringList rows;
  for (int i = 0; i < model.rowCount(); ++i) rows << model.data(model.index(i)).toString();
  return rows;
}

TEST(StringTableDocument, KeysValuesChecksumAndOneSearch) {
  StringTableDocument document;
  KeyListModel model(document);
  QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
  const QByteArray file = WriteStringTable({{"abc", "v0"}, {"ABC", "v1"}, {"", "v2"}, {"\xC3\xBF" "c1", "\xE5\x89\xA3"}});
  model.LoadFromBytes("/t/keys.tbl", file);
  EXPECT_EQ(document.Crc(), GetU16(file, 0));  // the writer stores the region's checksum there
  model.AppendBlankKey();
  model.AppendBlankKey();
  EXPECT_EQ(Rows(model), QStringList({"abc", "ABC", "", "\u00FFc1", "Blank", "Blank"}));
  EXPECT_EQ(document.ValueText(3), "\u5263");
  EXPECT_EQ(document.ValueText(4), "");  // an appended key has no value
  EXPECT_EQ(document.ValueText(-1), "");

  // Whole names, letter case ignored, first in list order; appended keys too.
  const std::pair<QString, int> searches[] = {{"aBc", 0}, {"", 2},     {"\u00FFC1", 3}, {"blank", 4},
                                              {"BLANK", 4}, {"ab", -1}, {"Blank ", -1}};
  for (const auto& [name, key] : searches) EXPECT_EQ(document.FindKey(name), key) << name.toStdString();

  // The next table takes the appended keys away; its own "Blank" comes first.
  model.LoadFromBytes("/t/other.tbl", WriteStringTable({{"x", "1"}, {"blank", "2"}}));
  model.AppendBlankKey();
  EXPECT_EQ(Rows(model), QStringList({"x", "blank", "Blank"}));
  EXPECT_EQ(document.FindKey("BLANK"), 1);
  EXPECT_EQ(document.Path(), "/t/other.tbl");
}

}  // namespace
