// Any bytes loaded as a tab sheet and saved again must come out as a plain
// reading of the format says, written here once more, byte by byte and
// without the store's shortcuts: a line ends at LF, and a CR belongs to the
// break only right before that LF; the header line's tabs fix the field
// count; a shorter record is padded with tabs to it, a longer one is kept
// whole; every line is written with CR LF. The cells the grid shows must be
// the fields of those lines.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/TextCodec.h"
#include "sheet/SheetDocument.h"

namespace {
void Require(bool condition) {
  if (!condition) std::abort();
}

std::vector<std::string> ModelLines(const std::string& file) {
  std::vector<std::string> lines;
  std::string line;
  for (const char byte : file) {
    if (byte != '\n') {
      line += byte;
      continue;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    line.clear();
  }
  if (!line.empty()) lines.push_back(line);  // a last line without a break
  return lines;
}

size_t Tabs(const std::string& text) {
  size_t tabs = 0;
  for (const char byte : text) tabs += byte == '\t';
  return tabs;
}

std::string ModelField(const std::string& line, size_t n) {
  size_t start = 0;
  for (; n > 0; --n) {
    start = line.find('\t', start);
    if (start == std::string::npos) return {};
    ++start;
  }
  return line.substr(start, line.find('\t', start) - start);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string file(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> lines = ModelLines(file);
  const size_t fields = lines.empty() ? 1 : Tabs(lines[0]) + 1;
  std::string expected;
  for (const std::string& line : lines) {
    const size_t has = Tabs(line) + 1;
    expected += line + std::string(has < fields ? fields - has : 0, '\t') + "\r\n";
  }

  // The editor's own load: the header's tabs set the columns (the label
  // column and one per field), then every line becomes a row.
  const QByteArray bytes(file.data(), static_cast<qsizetype>(file.size()));
  SheetDocument sheet;
  sheet.LoadFromBytes(bytes, TextCodec::HasHighByte(bytes));
  const SheetStore& store = sheet.Store();
  Require(store.rowCount() == static_cast<int>(lines.size()));
  Require(store.colCount() == static_cast<int>(fields) + 1);

  const int rows = std::min(store.rowCount(), 64);
  const int cols = std::min(store.colCount(), 64);
  for (int row = 0; row < rows; ++row) {
    Require(store.cell(row, 0) == (row == 0 ? QByteArray() : QByteArray::number(row)));
    for (int col = 1; col < cols; ++col)
      Require(store.cell(row, col).toStdString() == ModelField(lines[static_cast<size_t>(row)], static_cast<size_t>(col - 1)));
  }

  // The lines as the save writes them (WriteSheet sends these same lines out
  // in blocks of a megabyte; allocating that block would be most of a run).
  QByteArray out;
  for (int row = 0; row < store.rowCount(); ++row) store.appendLineTo(row, out);
  Require(out.toStdString() == expected);
  return 0;
}
