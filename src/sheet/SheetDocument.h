#pragma once
// The open tab sheet: its cells (the store, which keeps the file's bytes) and
// the codec they show through, with the model that views show it by. Every
// change to the sheet is made here, and told to the model. Loads from bytes
// already read; saves over the file it is given, the window's current path,
// which is kept only there.
#include <QString>
#include <QTimer>

#include "platform/TextCodec.h"
#include "sheet/InPlaceWrite.h"
#include "sheet/SheetModel.h"
#include "sheet/SheetStore.h"

class SheetDocument {
 public:
  SheetDocument();
  SheetDocument(const SheetDocument&) = delete;
  SheetDocument& operator=(const SheetDocument&) = delete;

  // Replaces the sheet with a file's lines: one column per tab of the header
  // line, plus the label column and one more; every line a row, labelled with
  // its line number. hasHighByte: whether a byte of 0x80 or more is among the
  // bytes, as found while they were read.
  void LoadFromBytes(FileBytes bytes, bool hasHighByte);

  // Lets go of a mapped file in the event loop's idle time, a few
  // milliseconds at a time (see MappedFile); until then the sheet shows from
  // the file's own pages. Does nothing when no file is held.
  void LetGoOfFileWhenIdle();

  // Changes to the sheet, each told to the views. Rows and columns are those
  // of the store (0 = header row / label column); a cell outside the sheet is
  // left alone.
  void SetRowCount(int rows);
  void SetColCount(int cols);
  void ClearCells();
  void AppendRow(QByteArrayView rowText);
  // Every line of a file, each labelled with its line number; views are told once.
  void AppendFileLines(FileBytes file);
  void SetCell(int row, int col, QByteArrayView text);
  void SetCodec(const TextCodec& codec) { m_model.setCodec(codec); }

  // Writes every row over the file at `path`; the result says whether that
  // worked, and if not, why and what the file holds now.
  InPlaceWriteResult Save(const QString& path) const;

  const TextCodec& Codec() const { return m_model.codec(); }
  const SheetStore& Store() const { return m_store; }
  // For views to show; it offers them no way to change the sheet.
  SheetModel& Model() { return m_model; }

 private:
  void letGoOfFileStep();

  SheetStore m_store;
  SheetModel m_model{m_store};
  QTimer m_letGo;  // a zero timer: a step on every pass of the event loop
};
