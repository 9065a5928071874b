// A sheet file loaded by mapping keeps the bytes it had when it was loaded,
// whoever changes the file afterwards and however: another program cutting it
// short or writing it anew, this process writing it in place, a rename over
// it; and whether the change comes before the pages are copied, while they
// are, or after the file is let go of. Reading the bytes after the change
// must neither crash (a mapping whose pages are gone raises SIGBUS) nor show
// the new text, or part of it. Once let go of, nothing of the file is held.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QProcess>
#include <cstdio>
#include <functional>
#include <iostream>

#include "FileHolds.h"
#include "TestFiles.h"
#include "sheet/FileBytes.h"
#include "sheet/SheetFile.h"

namespace {

constexpr std::size_t kStretch = std::size_t{2} << 20;

// Runs `script` with the file's path as $1, as another program.
std::function<bool(const QString&)> Shell(const QString& script) {
  return [=](const QString& path) { return QProcess::execute("/bin/sh", {"-c", script, "sh", path}) == 0; };
}

TEST(ReadSheetFile, KeepsTheLoadedBytesWhateverHappensToTheFile) {
  const struct {
    const char* change;
    std::function<bool(const QString& path)> apply;
    bool copies;  // a writer of the same file: the rest of the pages must have been copied
  } cases[] = {
      {"another program empties it", Shell(": > \"$1\""), true},
      {"another program writes other text", Shell("printf 'a\\tb\\r\\n' > \"$1\""), true},
      {"this process empties it", [](const QString& p) { WriteBytes(p, {}); return true; }, true},
      {"this process writes it in place, longer", [](const QString& p) { WriteBytes(p, SheetBytes("z", 600000)); return true; }, true},
      {"another file is renamed over it",
       [](const QString& p) { WriteBytes(p + ".new", "other\r\n"); return std::rename(qPrintable(p + ".new"), qPrintable(p)) == 0; },
       false},
  };
  enum Moment { kBeforeCopying, kOneStretchCopied, kLetGo };
  const QByteArray original = SheetBytes("q", 500000);  // two 2 MB stretches and a short one
  ASSERT_GT(original.size(), 2 * kStretch);
  QTemporaryDir dir;
  for (const auto& c : cases)
    for (const Moment moment : {kBeforeCopying, kOneStretchCopied, kLetGo}) {
      SCOPED_TRACE(testing::Message() << c.change << ", moment " << moment);
      const QString path = WriteBytes(dir.filePath("sheet.txt"), original);
      const FileId id = FileIdOf(path);
      FileBytes bytes;
      QString error;
      ASSERT_TRUE(ReadSheetFile(path, bytes, error)) << error.toStdString();
      const bool mapped = bytes.sharesFilePages();
      // Leases need a local file system; elsewhere the file is read whole,
      // and what follows must hold all the same.
      if (!mapped) std::cout << "[ read, not mapped ] " << qPrintable(dir.path()) << "\n";
      const char* before = bytes.view().data();
      if (moment == kOneStretchCopied) { ASSERT_EQ(bytes.letGoStep(kStretch), mapped); }
      if (moment == kLetGo) while (bytes.letGoStep(kStretch)) {}
      QElapsedTimer writer;
      writer.start();
      ASSERT_TRUE(c.apply(path));
      // The kernel holds a writer back until the lease is given up, for 45
      // seconds by default when it never is.
      EXPECT_LT(writer.elapsed(), 5000) << "the lease held the writer up";
      EXPECT_NE(ReadBytes(path), original);  // the change did happen
      ASSERT_EQ(bytes.size(), original.size());
      EXPECT_TRUE(bytes.view() == original);  // every byte read again, after the change
      EXPECT_EQ(bytes.view().data(), before);  // pointers into the bytes stay good
      if (mapped) { EXPECT_EQ(bytes.sharesFilePages(), moment != kLetGo && !c.copies); }
      while (bytes.letGoStep(kStretch)) {}
      EXPECT_TRUE(!bytes.holdsFile() && bytes.view() == original && bytes.view().data() == before);
      EXPECT_EQ(HoldsOf(id), QStringList());
    }
}

}  // namespace
