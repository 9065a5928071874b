// The sheet model that shows a sheet's bytes through its codec, checked by
// Qt's model tester while it changes.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QSize>

#include "platform/TextCodec.h"
#include "sheet/SheetModel.h"

namespace {

TEST(SheetModel, ShowsTheSheetAndAnnouncesChanges) {
  SheetStore store;
  SheetModel model(store);
  QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
  model.setColCount(3);
  model.appendFileLines(QByteArray("name\tcost\r\nsword\t10\r\naxe\t\xC3\xA9\r\n"));
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
