// The five kind rules: which commands take a path for a string table or a
// sheet. Case-sensitive substrings, of the whole path or of the title only.
#include <gtest/gtest.h>

#include "platform/DocumentKind.h"

namespace {

TEST(DocumentKind, EachRuleLooksWhereItShould) {
  // Path, then: Load as string table, Save refuses, Freeze refuses, Add Key
  // refuses, Add File to Archive stores as a sheet.
  const struct { const char* path; bool load, save, freeze, addKey, archive; } cases[] = {
      {"/d/weapons.txt", false, false, false, true, true},
      {"/d/string.tbl", true, true, true, false, false},
      {"/d/a.tbl/b.txt", true, true, false, true, true},     // ".tbl" in a folder only
      {"/d/a.txt/b.tbl", true, true, true, false, false},    // ".txt" in a folder only
      {"/d/S.TBL", false, false, false, false, false},       // case-sensitive
      {"/d/SHEET.TXT", false, false, false, false, false},
      {"/d/old.txt.bak", false, false, false, true, true},   // anywhere in the title
      {"/d/x.tbl.txt", true, true, true, true, true},
      {"/d/notes", false, false, false, false, false},
      {"", false, false, false, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(kind::LoadsAsStringTable(c.path), c.load);
    EXPECT_EQ(kind::SaveRefuses(c.path), c.save);
    EXPECT_EQ(kind::FreezeRefuses(c.path), c.freeze);
    EXPECT_EQ(kind::AddKeyRefuses(c.path), c.addKey);
    EXPECT_EQ(kind::ArchivesAsSheet(c.path), c.archive);
  }
}

}  // namespace
