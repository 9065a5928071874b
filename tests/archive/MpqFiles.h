#pragma once
// Archives made and read back with StormLib in the test process (only ever
// archives our own code made), and the archive library as the program uses
// it: loaded at run time, its four entries called in order.
#include <dlfcn.h>

#include <QByteArray>
#include <QString>
#include <map>

#include "TestFiles.h"
#include "archive/lmpqapi.h"

// Name in archive -> contents.
using MpqContents = std::map<QByteArray, QByteArray>;

struct MpqRecipe {
  int format = 0;         // the header's format version: 0 (the game's) or 1
  bool listfile = false;  // whether the archive holds a (listfile) naming its files
  unsigned maxFiles = 16; // hash table slots
};

// Makes an archive holding `files`: one of them single-unit, some encrypted,
// imploded or compressed, as the game's archives hold them.
void MakeMpq(const QString& path, const MpqContents& files, const MpqRecipe& recipe);

// The files of `names` as StormLib reads them; a name that does not read
// whole maps to "<unreadable>". Also how many files the archive holds.
MpqContents ReadMpq(const QString& path, const QList<QByteArray>& names, unsigned* fileCount = nullptr);

// The names of `files`.
QList<QByteArray> NamesOf(const MpqContents& files);

// The archive library, loaded from its path (the build's by default).
class Lmpqapi {
 public:
  explicit Lmpqapi(const char* path = TW_LMPQAPI_PATH);
  ~Lmpqapi();
  bool loaded() const { return m_handle != nullptr; }
  unsigned initialize();
  unsigned open(const QString& archive);
  unsigned add(unsigned handle, const QString& file, const QByteArray& name);
  unsigned close(unsigned handle);
  // The whole operation as the program runs it; the handle open gave.
  unsigned addFile(const QString& archive, const QString& file, const QByteArray& name);

 private:
  template <typename Entry> Entry entry(const char* name) { return reinterpret_cast<Entry>(dlsym(m_handle, name)); }
  void* m_handle = nullptr;
};
