// Writes the fuzzers' seed corpus: small tables of the game's shape, made by
// the tests' table writer, and a few tab sheets, into the directory given.
#include <QDir>
#include <QFile>
#include <cstdio>

#include "TableWriter.h"

namespace {
std::vector<TableEntry> Numbered(int count) {
  std::vector<TableEntry> entries;
  for (int i = 0; i < count; ++i)
    entries.push_back({"key" + QByteArray::number(i), "value " + QByteArray::number(i)});
  return entries;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_fuzz_seeds <directory>\n");
    return 2;
  }
  const QDir dir(QString::fromLocal8Bit(argv[1]));
  const QByteArray colour("\xC3\xBF" "c1Gold", 8);
  const QByteArray cp1252("Dagger\x85 isn\x92t", 13);

  const struct {
    const char* name;
    std::vector<TableEntry> entries;
    TableWriterOptions options;
  } seeds[] = {
      {"empty", {}, {}},
      {"one", {{"only", "one"}}, {}},
      {"three-v1", Numbered(3), {.version = 1}},
      {"twenty", Numbered(20), {}},
      {"backwards", Numbered(12), {.textsBackwards = true}},
      {"no-zero-in-length", Numbered(8), {.lengthCountsZero = false}},
      {"crowded", Numbered(16), {.nodeCount = 16}},
      {"duplicates", {{"dup", "a"}, {"dup", "b"}, {"DUP", "c"}}, {}},
      {"high-bytes", {{colour, cp1252}, {"\xE5\x89\xA3", colour}}, {}},
      {"long-key", {{QByteArray(150, 'k'), QByteArray(300, 'v')}}, {}},
      {"embedded-zero", {{"k", QByteArray("ab\0cd", 5)}}, {}},
  };
  auto write = [&](const QString& name, const QByteArray& bytes) {
    QFile file(dir.filePath(name + ".tbl"));
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size()) return true;
    std::fprintf(stderr, "make_fuzz_seeds: cannot write %s\n", qPrintable(file.fileName()));
    return false;
  };
  for (const auto& seed : seeds)
    if (!write(QString::fromLatin1(seed.name), WriteStringTable(seed.entries, seed.options))) return 1;
  // Entries whose texts overlap in one run of UTF-8.
  const QByteArray run = QByteArray("\xC3\xA9\xE5\x89\xA3x").repeated(40);
  if (!write("overlap-aligned", WriteOverlappingTable(run, 40, 6, 6, 11))) return 1;
  if (!write("overlap-unaligned", WriteOverlappingTable(run, 40, 1, 5, 7))) return 1;
  // Sheets: CR LF and bare LF lines, short and long records, a CR not
  // before an LF, no break after the last line.
  const QByteArray sheets[] = {
      "name\tcode\tlevel\r\nDagger\tdgr\t3\r\nSword\tssd\r\n\r\nAxe\tax\t5\textra\r\n",
      "a\tb\nc\r\nd\re\tf\ng",
      QByteArray("header\t\t\r\n") + QByteArray("x\ty\r\n").repeated(20),
  };
  for (int i = 0; i < 3; ++i)
    if (!write("sheet" + QString::number(i), sheets[i])) return 1;
  return 0;
}
