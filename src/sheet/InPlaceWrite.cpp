#include "sheet/InPlaceWrite.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <cerrno>
#include <cstring>
#include <memory>

#include "platform/InPlaceFile.h"

namespace {
constexpr qint64 kCopyBlock = 1 << 20;

QString errnoText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// Puts the file's data on the disk.
bool syncToDisk(QFile& file, QString& error) {
  if (!file.flush()) {
    error = file.errorString();
    return false;
  }
  if (const int failed = SyncDescriptor(file.handle()); failed != 0) {
    error = errnoText(failed);
    return false;
  }
  return true;
}

// The whole of `from` over the start of `to`.
bool copyAll(QFile& from, QFile& to, QString& error) {
  if (!from.seek(0) || !to.seek(0)) {
    error = QStringLiteral("Can't go back to the start of the file.");
    return false;
  }
  QByteArray block(kCopyBlock, Qt::Uninitialized);
  for (;;) {
    const qint64 got = from.read(block.data(), block.size());
    if (got < 0) {
      error = from.errorString();
      return false;
    }
    if (got == 0) return true;
    if (!WriteWhole(to, QByteArrayView(block.constData(), got))) {
      error = to.errorString();
      return false;
    }
  }
}

// A copy of the file's old text, on the disk: beside the file, or in the
// spare folder when the file's own folder takes no new file (or has no room).
std::unique_ptr<QTemporaryFile> keepOldText(QFile& file, const QString& spareFolder, QString& error) {
  const QFileInfo info(file.fileName());
  const QString beside = info.absolutePath() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".old-XXXXXX");
  const QString spare = spareFolder + QLatin1Char('/') + info.fileName() + QStringLiteral(".old-XXXXXX");
  for (const QString& name : {beside, spare}) {
    auto copy = std::make_unique<QTemporaryFile>(name);  // readable by this user only
    if (!copy->open()) {
      error = copy->errorString();
      continue;
    }
    // Qt may make the copy without a name; asking for its name gives it one.
    // With the name on the disk too, a power cut mid-write leaves the old text here.
    if (copyAll(file, *copy, error) && syncToDisk(*copy, error)) {
      SyncFolderOf(copy->fileName());
      return copy;
    }
  }
  return nullptr;
}
}  // namespace

bool WriteWhole(QIODevice& out, QByteArrayView bytes) {
  while (!bytes.isEmpty()) {
    const qint64 written = out.write(bytes.data(), bytes.size());
    if (written <= 0) return false;
    bytes = bytes.sliced(written);
  }
  return true;
}

InPlaceWriteResult WriteInPlace(const QString& path, QByteArrayView bytes, const QString& spareFolder) {
  InPlaceWriteResult result;
  QFile file(path);
  // Unbuffered: a write that fails says so at once, with its reason.
  if (!file.open(QIODevice::ReadWrite | QIODevice::Unbuffered)) {
    result.error = file.errorString();
    return result;
  }
  const qint64 oldSize = file.size();
  QString error;
  const std::unique_ptr<QTemporaryFile> copy = keepOldText(file, spareFolder, error);
  if (!copy) {
    result.error = QStringLiteral("No copy of its old text could be made: %1").arg(error);
    return result;
  }
  if (const int failed = ReserveRoom(file.handle(), oldSize, bytes.size()); failed != 0) {
    file.resize(oldSize);  // what a reservation may have added past the old end
    result.error = errnoText(failed);
    return result;
  }
  if (file.seek(0) && WriteWhole(file, bytes) && file.resize(bytes.size()) && syncToDisk(file, error)) {
    result.outcome = InPlaceWriteResult::kWritten;
    return result;
  }
  result.error = error.isEmpty() ? file.errorString() : error;
  QString putBackError;
  if (copyAll(*copy, file, putBackError) && file.resize(oldSize) && syncToDisk(file, putBackError)) return result;
  copy->setAutoRemove(false);
  result.outcome = InPlaceWriteResult::kOldTextKept;
  result.keptCopy = copy->fileName();
  return result;
}
