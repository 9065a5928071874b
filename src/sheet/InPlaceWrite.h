#pragma once
// Writing new text into an existing file where replacing the file would
// show: a file with more than one name (its hard links would keep the old
// text), one owned by someone else (it would change owner), one that carries
// extended attributes (an ACL, a security label: the new file would lose
// them), or one in a folder that takes no new file. The file itself is rewritten, so its inode,
// links, owner and mode stay; the old text is kept in a copy until the new
// text is complete and on the disk, and is put back when anything fails.
#include <QByteArrayView>
#include <QIODevice>
#include <QString>

struct InPlaceWriteResult {
  enum Outcome {
    kWritten,      // the file holds the new text, on the disk
    kUnchanged,    // failed; the file holds its old text
    kOldTextKept,  // failed, and the old text could not be put back: it is in keptCopy
  };
  Outcome outcome = kUnchanged;
  QString error;     // why it failed
  QString keptCopy;  // with kOldTextKept, the copy that holds the old text
};

// Writes the whole of `bytes`. A short write is tried again for the rest: the
// next one fails with the reason (a full disk, a size limit), which the short
// one leaves unsaid, and the device's errorString() then tells it.
bool WriteWhole(QIODevice& out, QByteArrayView bytes);

// Gives `path` the content `bytes`. The copy of the old text goes beside the
// file, or into `spareFolder` when the file's folder takes no new file.
InPlaceWriteResult WriteInPlace(const QString& path, QByteArrayView bytes, const QString& spareFolder);
