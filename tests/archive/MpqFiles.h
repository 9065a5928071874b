#pragma once
// Small MPQ archives for the tests, made and read back with StormLib.
#include <QByteArray>
#include <QByteArrayList>
#include <QString>
#include <cstdint>
#include <vector>

struct MpqFile {
  QByteArray name;
  QByteArray content;
  uint32_t flags;  // the MPQ_FILE_* flags it is stored with
};

// A format-1 archive, as the game uses, with a listfile and room for maxFiles.
bool MakeMpq(const QString& path, const std::vector<MpqFile>& files, uint32_t maxFiles = 64);

// An archive opened read-only for inspection.
class MpqReader {
 public:
  explicit MpqReader(const QString& path);
  ~MpqReader();
  MpqReader(const MpqReader&) = delete;
  MpqReader& operator=(const MpqReader&) = delete;

  QByteArray Read(const QByteArray& name) const;  // empty when missing
  uint32_t Flags(const QByteArray& name) const;
  QByteArray Stored(const QByteArray& name) const;  // the bytes as they lie in the archive
  QByteArrayList Listfile() const;

 private:
  uint64_t Info(const QByteArray& name, int infoClass, uint32_t size) const;
  QString m_path;
  void* m_mpq = nullptr;
};
