#include "sheet/SheetFile.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <filesystem>

#include "platform/HugePages.h"
#include "platform/InPlaceFile.h"
#include "platform/TextCodec.h"
#include "platform/WriteBits.h"
#include "sheet/FileBytes.h"
#include "sheet/InPlaceWrite.h"
#include "sheet/SheetStore.h"

namespace {
constexpr qsizetype kWriteBlock = 1 << 20;
constexpr qint64 kReadBlock = 1 << 20;  // fits the cache, so the high-byte scan reads it from there

// Qt's write flags as the mode's bits (WriteUser, whether this process may
// write, is no mode bit).
std::filesystem::perms WriteBitsOf(QFileDevice::Permissions permissions) {
  using std::filesystem::perms;
  perms bits = perms::none;
  if (permissions & QFileDevice::WriteOwner) bits |= perms::owner_write;
  if (permissions & QFileDevice::WriteGroup) bits |= perms::group_write;
  if (permissions & QFileDevice::WriteOther) bits |= perms::others_write;
  return bits;
}
}  // namespace

bool ReadWholeFile(const QString& path, QByteArray& bytes, QString& error, bool* highByte) {
  QFile file(path);
  if (QFileInfo(path).isDir()) {
    error = QStringLiteral("It is a folder.");
    return false;
  }
  if (!file.open(QIODevice::ReadOnly)) {
    error = file.errorString();
    return false;
  }
  // Read straight into one buffer of the file's size; keep going past it in
  // case the file grows, or reports no size at all.
  qsizetype used = 0;
  bytes = QByteArray(std::max<qint64>(file.size(), 0) + 1, Qt::Uninitialized);
  AdviseHugePages(bytes.data(), static_cast<size_t>(bytes.size()));
  bool high = false;
  for (;;) {
    if (used == bytes.size()) bytes.resize(bytes.size() * 2);
    const qint64 got = file.read(bytes.data() + used, std::min<qint64>(bytes.size() - used, kReadBlock));
    if (got < 0) {
      error = file.errorString();
      bytes.clear();
      return false;
    }
    if (got == 0) break;
    if (highByte && !high) high = TextCodec::HasHighByte(QByteArrayView(bytes.constData() + used, got));
    used += got;
  }
  if (highByte) *highByte = high;
  bytes.resize(used);
  return true;
}

bool ReadSheetFile(const QString& path, FileBytes& bytes, QString& error, bool* highByte) {
  MappedFile mapped;
  if (mapped.map(path)) {
    if (highByte) *highByte = TextCodec::HasHighByte(mapped.bytes());
    bytes = FileBytes(std::move(mapped));
    return true;
  }
  QByteArray copy;
  if (!ReadWholeFile(path, copy, error, highByte)) return false;
  bytes = FileBytes(std::move(copy));
  return true;
}

qsizetype HeaderTabCount(QByteArrayView file) {
  const qsizetype lf = file.indexOf('\n');
  return (lf < 0 ? file : file.first(lf)).count('\t');
}

bool WriteSheet(const SheetStore& store, QIODevice& out) {
  QByteArray block;
  block.reserve(kWriteBlock + 4096);
  const int rows = store.rowCount();
  for (int row = 0; row < rows; ++row) {
    store.appendLineTo(row, block);
    if (block.size() >= kWriteBlock) {
      if (!WriteWhole(out, block)) return false;
      block.resize(0);
    }
  }
  return WriteWhole(out, block);
}

InPlaceWriteResult SaveSheet(const SheetStore& store, const QString& path) {
  InPlaceWriteResult result;
  // A symbolic link stays a link: the file it points to gets the text.
  const QFileInfo named(path);
  const QString target = named.exists() ? named.canonicalFilePath() : path;
  const QFileInfo info(target);
  if (info.exists() && !MarkedWritable(WriteBitsOf(info.permissions()))) {
    result.error = QStringLiteral("The file is read-only.");
    return result;
  }
  if (!info.exists() || ReplacingKeepsWhatShows(target)) {
    // A new file renamed over the old one: a failure at any point leaves the
    // old one whole, and nobody sees the difference.
    QSaveFile file(target);
    // Unbuffered: the sheet goes out in large blocks anyway, and a write that
    // fails does so here, with its reason, not later in a flush that only says
    // that it failed.
    if (file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
      if (!WriteSheet(store, file)) {
        result.error = file.errorString();
        file.cancelWriting();
      } else if (!file.commit()) {
        result.error = file.errorString();
      } else {
        // The new text is in place whatever happens next; this only makes
        // its name outlast a power cut.
        SyncFolderOf(target);
        result.outcome = InPlaceWriteResult::kWritten;
      }
      return result;
    }
    if (!info.exists()) {
      result.error = file.errorString();
      return result;
    }
    // The folder takes no new file: the file itself is written.
  }
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  WriteSheet(store, buffer);
  return WriteInPlace(target, bytes, QDir::tempPath());
}
