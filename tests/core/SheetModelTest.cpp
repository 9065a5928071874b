// The sheet model as views see it, checked by Qt's model tester while it
// changes.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QSignalSpy>

#include "sheet/SheetModel.h"

namespace {

TEST(SheetModel, HeaderRowAndLabelColumnAreHeaders) {
  SheetModel model;
  QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
  model.setColCount(3);
  model.appendFileLines("name\tcost\r\nsword\t10\r\naxe\t\xE9\r\n");
  EXPECT_EQ(model.rowCount(), 2);
  EXPECT_EQ(model.columnCount(), 2);
  EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), "name");
  EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString(), "cost");
  EXPECT_EQ(model.headerData(0, Qt::Vertical).toString(), "1");
  EXPECT_EQ(model.headerData(1, Qt::Vertical).toString(), "2");
  EXPECT_EQ(model.data(model.index(0, 0)).toString(), "sword");
  EXPECT_EQ(model.data(model.index(1, 1)).toString(), QString(QChar(0xE9)));
  EXPECT_FALSE(model.flags(model.index(0, 0)) & Qt::ItemIsEditable);
}

TEST(SheetModel, ChangesAreAnnouncedWhereTheyHappen) {
  SheetModel model;
  QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
  model.setColCount(3);
  model.appendRow("\ta\tb");
  model.appendRow("1\tx\ty");
  model.appendRow("2\tz");
  ASSERT_EQ(model.rowCount(), 2);

  QSignalSpy dataChanged(&model, &QAbstractItemModel::dataChanged);
  QSignalSpy headerChanged(&model, &QAbstractItemModel::headerDataChanged);
  model.setCell(2, 2, "new");
  ASSERT_EQ(dataChanged.size(), 1);
  EXPECT_EQ(dataChanged.at(0).at(0).toModelIndex(), model.index(1, 1));
  EXPECT_EQ(model.data(model.index(1, 1)).toString(), "new");
  model.setCell(0, 1, "A");
  model.setCell(1, 0, "one");
  ASSERT_EQ(headerChanged.size(), 2);
  EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), "A");
  EXPECT_EQ(model.headerData(0, Qt::Vertical).toString(), "one");

  model.setColumnAlignment(1, Qt::AlignRight | Qt::AlignTop);
  EXPECT_EQ(model.data(model.index(0, 0), Qt::TextAlignmentRole).toInt(), int(Qt::AlignRight | Qt::AlignTop));

  model.setRowCount(0);
  EXPECT_EQ(model.rowCount(), 0);
  model.setColCount(1);
  EXPECT_EQ(model.columnCount(), 0);
}

TEST(SheetModel, CodecDecidesHowBytesShow) {
  SheetModel model;
  model.setColCount(2);
  model.appendFileLines("h\n\xC3\xBF" "c1\n");
  EXPECT_EQ(model.data(model.index(0, 0)).toString(), QString::fromLatin1("\xC3\xBF" "c1"));
  model.setCodec(TextCodec(TextCodec::Kind::Utf8));
  EXPECT_EQ(model.data(model.index(0, 0)).toString(), QString::fromUtf8("\xC3\xBF" "c1"));
}

}  // namespace
