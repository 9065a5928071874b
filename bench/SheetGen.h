#pragma once
// Generated tab sheets for the benchmarks: D2-flavoured values (item names,
// short codes, small numbers, many empty fields), deterministic for a seed,
// written with CR LF like the game's own files.
#include <QByteArray>
#include <QString>

namespace sheetgen {

// A weapons-like sheet of `lines` lines (the header included) and 20 fields;
// about 100 bytes a line.
QByteArray WideItemSheet(int lines, quint64 seed = 1);

// A monster-stats-like sheet: 736 lines of 255 fields, mostly short or
// empty, about 432 KB.
QByteArray MonsterStatsSheet(quint64 seed = 2);

// Writes bytes to a file; false when it cannot.
bool WriteFile(const QString& path, const QByteArray& bytes);

}  // namespace sheetgen
