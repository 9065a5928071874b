#pragma once
// How a table's keys show in the key list and how a typed name finds one.
//
// Keys are kept whole, of any length. The list shows at most
// kShownKeyLength characters of a key, then "…": the game's keys are far
// shorter, and a hostile table whose keys all run through one long stretch
// of the file would otherwise need that stretch decoded once per key.
#include <QString>

#include "platform/TextCodec.h"
#include "strtable/StringTable.h"

inline constexpr qsizetype kShownKeyLength = 256;

// The key list's text for a key.
QString KeyListText(const TextCodec& codec, QByteArrayView key);

// The first entry whose whole key equals `name`, letter case ignored, or -1.
// Compares the keys themselves, not their shortened list texts.
int FindKeyEntry(const StringTable& table, const TextCodec& codec, const QString& name);
