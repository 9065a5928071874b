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
  uint32_t flags;  // StormLib's MPQ_FILE_* flags it is stored with
};

// A format-1 archive, as the game uses, with room for maxFiles files.
bool MakeMpq(const QString& path, const std::vector<MpqFile>& files, uint32_t maxFiles = 64);

// An archive opened read-only for inspection.
class MpqReader {
 public:
  explicit MpqReader(const QString& path);
  ~MpqReader();
  MpqReader(const MpqReader&) = delete;
  MpqReader& operator=(const MpqReader&) = delete;

  bool IsOpen() const { return m_mpq != nullptr; }
  bool Has(const QByteArray& name) const;
  QByteArray Read(const QByteArray& name) const;
  uint32_t Flags(const QByteArray& name) const;
  // The file's bytes exactly as they lie in the archive.
  QByteArray Stored(const QByteArray& name) const;
  QByteArrayList Listfile() const;
  uint32_t HashTableSize() const;
  uint16_t FormatVersion() const;

 private:
  uint64_t Info(const QByteArray& name, int infoClass) const;
  QString m_path;
  void* m_mpq = nullptr;
};

// The whole file, or an empty array.
QByteArray FileBytes(const QString& path);
bool WriteFileBytes(const QString& path, const QByteArray& bytes);
