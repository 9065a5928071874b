// The archive worker on Windows, through the probe as the editor calls the
// library: an archive that another program holds open without sharing
// writing (the game, while it runs) refused and left as it was. (The worker
// struck half-way: LmpqapiTest.cpp, on both systems.)
#include <windows.h>

#include <gtest/gtest.h>

#include "archive/MpqFiles.h"

namespace {

TEST(WindowsArchiveWorker, AnArchiveInUseIsRefusedAndLeftAsItWas) {
  QTemporaryDir dir;
  const QString archive = dir.filePath("Patch_D2.mpq");
  MakeMpq(archive, kFiles, {0, false, 16});
  const QByteArray before = ReadBytes(archive);
  const QString sheet = WriteBytes(dir.filePath("weapons.txt"), SheetBytes("Lance"));
  // As the game holds its archives: open for reading, sharing reading only.
  const HANDLE held = CreateFileW(reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(archive).utf16()),
                                  GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Add(archive, sheet, kSheetName), Refused(archive));
  CloseHandle(held);
  EXPECT_EQ(ReadBytes(archive), before);
  EXPECT_EQ(Add(archive, sheet, kSheetName), kAdded) << "once the game lets go";
}

}  // namespace
