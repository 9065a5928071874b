// The version record and icon 128 that tabwright.exe carries as Windows
// resources (from src/res/tabwright.rc).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A string of the version record's English (US), Unicode block.
std::string VersionString(const std::vector<char>& record, const char* name) {
  char* value = nullptr;
  UINT length = 0;
  const std::string path = std::string("\\StringFileInfo\\040904b0\\") + name;
  if (!VerQueryValueA(record.data(), path.c_str(), reinterpret_cast<void**>(&value), &length) || !value)
    return "<missing>";
  return std::string(value, length > 0 ? length - 1 : 0);  // the length counts the zero
}

TEST(WindowsProgram, CarriesItsVersionRecord) {
  const DWORD size = GetFileVersionInfoSizeA(TW_PROGRAM, nullptr);
  ASSERT_GT(size, 0u) << "no version record in " << TW_PROGRAM;
  std::vector<char> record(size);
  ASSERT_TRUE(GetFileVersionInfoA(TW_PROGRAM, 0, size, record.data()));
  const char* expected[][2] = {
      {"Comments", "Tabsheet editor & TBL Viewer"}, {"FileDescription", "Tabwright Beta 1"},
      {"InternalName", "Tabwright Beta 1"},         {"ProductName", "Tabwright"},
      {"OriginalFilename", "Tabwright.exe"},        {"FileVersion", "B1"},
      {"ProductVersion", "1, 1, 0, 0"},             {"CompanyName", ""},
      {"LegalTrademarks", ""},                      {"PrivateBuild", ""},
      {"SpecialBuild", ""}};
  for (const auto& [name, value] : expected) EXPECT_EQ(VersionString(record, name), value) << name;

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(record.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, DWORD{0x00010001});  // 1.1
  EXPECT_EQ(fixed->dwFileVersionLS, 0u);              // .0.0
  EXPECT_EQ(fixed->dwProductVersionMS, DWORD{0x00010001});
  EXPECT_EQ(fixed->dwProductVersionLS, 0u);
}

TEST(WindowsProgram, HasIcon128) {
  HMODULE program = LoadLibraryExA(TW_PROGRAM, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(program, nullptr);
  EXPECT_NE(FindResourceA(program, MAKEINTRESOURCEA(128), MAKEINTRESOURCEA(14)), nullptr);  // RT_GROUP_ICON
  HICON icon = static_cast<HICON>(LoadImageA(program, MAKEINTRESOURCEA(128), IMAGE_ICON, 32, 32, 0));
  EXPECT_NE(icon, nullptr);
  if (icon) DestroyIcon(icon);
  FreeLibrary(program);
}

}  // namespace
