// tabwright.exe carries the version record and icon 128 as Windows resources:
// the resource script was compiled and linked into the program.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(WindowsProgram, CarriesItsVersionRecordAndIcon) {
  const DWORD size = GetFileVersionInfoSizeA(TW_PROGRAM, nullptr);
  ASSERT_GT(size, 0u) << "no version record in " << TW_PROGRAM;
  std::vector<char> record(size);
  ASSERT_TRUE(GetFileVersionInfoA(TW_PROGRAM, 0, size, record.data()));
  char* value = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(record.data(), "\\StringFileInfo\\040904b0\\FileDescription", reinterpret_cast<void**>(&value), &length));
  EXPECT_EQ(std::string(value, length > 0 ? length - 1 : 0), "Tabwright Beta 1");  // the length counts the zero
  VS_FIXEDFILEINFO* fixed = nullptr;
  ASSERT_TRUE(VerQueryValueA(record.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(std::vector<DWORD>({fixed->dwFileVersionMS, fixed->dwFileVersionLS}), std::vector<DWORD>({0x00010001, 0}));

  HMODULE program = LoadLibraryExA(TW_PROGRAM, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(program, nullptr);
  HICON icon = static_cast<HICON>(LoadImageA(program, MAKEINTRESOURCEA(128), IMAGE_ICON, 32, 32, 0));
  EXPECT_NE(icon, nullptr);
  if (icon) DestroyIcon(icon);
  FreeLibrary(program);
}

}  // namespace
