#include "sheet/SheetStore.h"

#include <algorithm>
#include <cstring>

#include "platform/HugePages.h"

namespace {
// The n-th tab-separated field of a line (n from 0); empty past the last.
QByteArrayView fieldOf(QByteArrayView line, int n) {
  if (line.isEmpty()) return {};
  const char* p = line.data();
  const char* end = p + line.size();
  for (; n > 0; --n) {
    const void* tab = std::memchr(p, '\t', static_cast<size_t>(end - p));
    if (!tab) return {};
    p = static_cast<const char*>(tab) + 1;
  }
  const void* tab = std::memchr(p, '\t', static_cast<size_t>(end - p));
  return QByteArrayView(p, tab ? static_cast<const char*>(tab) : end);
}

std::vector<QByteArray> splitFields(QByteArrayView line) {
  std::vector<QByteArray> fields;
  qsizetype start = 0;
  for (;;) {
    const qsizetype tab = line.indexOf('\t', start);
    if (tab < 0) break;
    fields.emplace_back(line.sliced(start, tab - start).toByteArray());
    start = tab + 1;
  }
  fields.emplace_back(line.sliced(start).toByteArray());
  return fields;
}

// Runs over every line of a save, so it counts the tabs of eight bytes at a
// time instead of one by one.
int countFields(QByteArrayView line) {
  constexpr quint64 kLow7 = 0x7F7F7F7F7F7F7F7Full;
  constexpr quint64 kTabs = 0x0909090909090909ull;
  const char* p = line.data();
  const qsizetype n = line.size();
  qsizetype i = 0;
  int tabs = 0;
  for (; i + 8 <= n; i += 8) {
    quint64 word;
    std::memcpy(&word, p + i, 8);
    const quint64 x = word ^ kTabs;                              // a tab byte becomes zero
    const quint64 zero = ~(((x & kLow7) + kLow7) | x | kLow7);  // the high bit of each zero byte
    tabs += static_cast<int>(((zero >> 7) * 0x0101010101010101ull) >> 56);  // adds up the eight bytes' 0s and 1s
  }
  for (; i < n; ++i) tabs += p[i] == '\t';
  return tabs + 1;
}
}  // namespace

QByteArrayView SheetStore::lineOf(int index) const {
  const Row& row = m_rows[static_cast<size_t>(index)];
  if (!(row.flags & kFromFile)) return {};
  const char* data = m_buffers[row.buffer].view().data();
  const auto begin = static_cast<qsizetype>(row.begin);
  qsizetype end = m_bufferEnds[row.buffer];
  if (static_cast<size_t>(index) + 1 < m_rows.size()) {
    const Row& next = m_rows[static_cast<size_t>(index) + 1];
    if ((next.flags & kFromFile) && next.buffer == row.buffer) end = static_cast<qsizetype>(next.begin);
  }
  // A CR belongs to the break only when an LF follows it.
  if (end > begin && data[end - 1] == '\n') {
    --end;
    if (end > begin && data[end - 1] == '\r') --end;
  }
  return QByteArrayView(data + begin, end - begin);
}

void SheetStore::setRowCount(int rows) {
  if (rows < 0) rows = 0;
  const int before = rowCount();
  if (rows < before) {
    // The new last row may be cut from the middle of a file: its line now
    // ends where the first dropped one began.
    if (rows > 0) {
      const Row& last = m_rows[static_cast<size_t>(rows) - 1];
      const Row& dropped = m_rows[static_cast<size_t>(rows)];
      if ((last.flags & kFromFile) && (dropped.flags & kFromFile) && last.buffer == dropped.buffer)
        m_bufferEnds[last.buffer] = static_cast<qsizetype>(dropped.begin);
    }
    std::erase_if(m_edited, [rows](const auto& entry) { return entry.first >= rows; });
    std::erase_if(m_labels, [rows](const auto& entry) { return entry.first >= rows; });
  }
  m_rows.resize(static_cast<size_t>(rows));
  if (rows == 0) {  // nothing points into the loaded files any more
    m_buffers.clear();
    m_bufferEnds.clear();
  }
}

void SheetStore::setColCount(int cols) { m_cols = cols < 0 ? 0 : cols; }

void SheetStore::clearCells() {
  for (Row& row : m_rows) row = Row{};
  m_edited.clear();
  m_labels.clear();
  m_buffers.clear();
  m_bufferEnds.clear();
}

void SheetStore::appendRow(QByteArrayView rowText) {
  const int row = rowCount();
  const qsizetype tab = rowText.indexOf('\t');
  const QByteArrayView label = tab < 0 ? rowText : rowText.first(tab);
  Row entry;
  if (label == (row == 0 ? QByteArray() : QByteArray::number(row))) entry.flags |= kNumberLabel;
  else if (!label.isEmpty()) m_labels[row] = label.toByteArray();
  m_rows.push_back(entry);
  if (tab >= 0) {
    m_rows.back().flags |= kEdited;
    m_edited[row] = splitFields(rowText.sliced(tab + 1));
  }
}

void SheetStore::appendFileLines(FileBytes file) {
  if (file.isEmpty()) return;
  const char* data = file.view().data();
  const qsizetype size = file.size();
  if (m_buffers.size() == kMaxBuffers) {  // no room to point into another file: copy its lines instead
    for (qsizetype start = 0; start < size;) {
      const qsizetype lf = file.view().indexOf('\n', start);
      const qsizetype end = lf < 0 ? size : lf;
      QByteArrayView line(data + start, end - start);
      if (lf >= 0 && line.endsWith('\r')) line.chop(1);
      appendRow(QByteArray::number(rowCount()) + '\t' + line.toByteArray());
      start = end + 1;
    }
    return;
  }
  const auto bufferIndex = static_cast<quint64>(m_buffers.size());
  // A line averages tens of bytes in real sheets; reserve for the common case.
  m_rows.reserve(m_rows.size() + static_cast<size_t>(size / 64) + 1);
  AdviseHugePages(m_rows.data() + m_rows.size(), (m_rows.capacity() - m_rows.size()) * sizeof(Row));
  qsizetype start = 0;
  while (start < size) {
    const void* lf = std::memchr(data + start, '\n', static_cast<size_t>(size - start));
    const qsizetype end = lf ? static_cast<const char*>(lf) - data : size;
    Row row;
    row.begin = static_cast<quint64>(start);
    row.buffer = bufferIndex;
    row.flags = kNumberLabel | kFromFile;
    m_rows.push_back(row);
    start = end + 1;
  }
  m_buffers.push_back(std::move(file));
  m_bufferEnds.push_back(size);
}

bool SheetStore::letGoOfFilesStep(std::size_t bytes) {
  return std::any_of(m_buffers.begin(), m_buffers.end(), [bytes](FileBytes& file) { return file.letGoStep(bytes); });
}

bool SheetStore::holdsFile() const {
  return std::any_of(m_buffers.begin(), m_buffers.end(), [](const FileBytes& file) { return file.holdsFile(); });
}

QByteArray SheetStore::cell(int row, int col) const {
  if (row < 0 || row >= rowCount() || col < 0 || col >= m_cols) return {};
  const Row& entry = m_rows[static_cast<size_t>(row)];
  if (col == 0) {
    if (entry.flags & kNumberLabel) return row == 0 ? QByteArray() : QByteArray::number(row);
    const auto label = m_labels.find(row);
    return label == m_labels.end() ? QByteArray() : label->second;
  }
  if (entry.flags & kEdited) {
    const std::vector<QByteArray>& cells = m_edited.at(row);
    return static_cast<size_t>(col - 1) < cells.size() ? cells[static_cast<size_t>(col - 1)] : QByteArray();
  }
  return fieldOf(lineOf(row), col - 1).toByteArray();
}

std::vector<QByteArray>& SheetStore::materialize(int row) {
  Row& entry = m_rows[static_cast<size_t>(row)];
  if (!(entry.flags & kEdited)) {
    const QByteArrayView line = lineOf(row);
    m_edited[row] = line.isEmpty() ? std::vector<QByteArray>{} : splitFields(line);
    entry.flags |= kEdited;
  }
  return m_edited[row];
}

void SheetStore::setCell(int row, int col, QByteArrayView text) {
  if (row < 0 || row >= rowCount() || col < 0 || col >= m_cols) return;
  if (col == 0) {
    Row& entry = m_rows[static_cast<size_t>(row)];
    entry.flags &= static_cast<quint8>(~kNumberLabel);
    m_labels[row] = text.toByteArray();
    return;
  }
  std::vector<QByteArray>& cells = materialize(row);
  if (cells.size() < static_cast<size_t>(col)) cells.resize(static_cast<size_t>(col));
  cells[static_cast<size_t>(col - 1)] = text.toByteArray();
}

void SheetStore::appendLineTo(int row, QByteArray& out) const {
  const int shown = m_cols > 1 ? m_cols - 1 : 0;  // field columns
  const Row& entry = m_rows[static_cast<size_t>(row)];
  int written = 0;
  if (entry.flags & kEdited) {
    const std::vector<QByteArray>& cells = m_edited.at(row);
    for (const QByteArray& cell : cells) {
      if (written > 0) out.append('\t');
      out.append(cell);
      ++written;
    }
  } else if (const QByteArrayView line = lineOf(row); !line.isEmpty() || shown > 0) {
    // An untouched line goes out as it came in, padded to the header's width.
    // This runs for nearly every line of a save: one resize and plain copies,
    // cheaper than appending the line, the padding and the break one by one.
    const int padding = std::max(0, shown - countFields(line));
    const qsizetype at = out.size();
    out.resize(at + line.size() + padding + 2);
    char* p = out.data() + at;
    if (!line.isEmpty()) std::memcpy(p, line.data(), static_cast<size_t>(line.size()));
    p += line.size();
    std::memset(p, '\t', static_cast<size_t>(padding));
    p[padding] = '\r';
    p[padding + 1] = '\n';
    return;
  }
  for (; written < shown; ++written) {
    if (written > 0) out.append('\t');
  }
  out.append("\r\n", 2);
}
