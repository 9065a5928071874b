// The platform's pure pieces: the command-line tail, the five kind rules
// (whose title is the part after the platform's separator), and the per-file
// codec (which one a file gets, that it keeps every byte, and what it writes
// for a character the file cannot hold).
#include <gtest/gtest.h>

#include <array>

#include "platform/CommandLine.h"
#include "platform/DocumentKind.h"
#include "platform/TextCodec.h"

namespace {

TEST(CommandLineTail, TakesEverythingAfterTheProgramName) {
  const char* cases[][2] = {
      {"tabwright.exe    ", ""},                                   // blanks only
      {"tabwright.exe   C:\\x.txt", "C:\\x.txt"},
      {"\"C:\\Program Files\\tw.exe\" C:\\a b.txt", "C:\\a b.txt"},  // quoted name with blanks
      {"\"C:\\tw.exe\"C:\\x.txt", "C:\\x.txt"},
      {"\"C:\\never closed x.txt", ""},                             // the quote runs to the end
      {"tw.exe \"C:\\a b.txt\"", "\"C:\\a b.txt\""},                // quotes stay in the tail
      {"tw.exe a b.txt  ", "a b.txt  "},                            // trailing blanks stay
      {"tw.exe\t\x01\x1f x.txt", "x.txt"},                          // codes 1..32 are skipped
      {"tw.exe\tx.txt", "x.txt"}, {"tw.exe\x1f" "x.txt", "x.txt"},    // and end an unquoted name
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(CommandLineTail(c[0]), QString(c[1])) << c[0];
  // Where the shell has split the line already: arguments joined by blanks.
  EXPECT_EQ(CommandLineTailFromArguments({"  /data/my", "sheet.txt "}), "/data/my sheet.txt ");
}

// The five kind rules: which commands take a path for a string table or a
// sheet. Case-sensitive substrings, of the whole path or of the title only.
TEST(DocumentKind, EachRuleLooksWhereItShould) {
  // Path, then: Load as string table, Save refuses, Freeze refuses, Add Key
  // refuses, Add File to Archive stores as a sheet.
  const std::pair<const char*, std::array<bool, 5>> cases[] = {
      {"/d/weapons.txt", {false, false, false, true, true}},
      {"/d/string.tbl", {true, true, true, false, false}},
      {"/d/a.tbl/b.txt", {true, true, false, true, true}},     // ".tbl" in a folder only
      {"/d/a.txt/b.tbl", {true, true, true, false, false}},    // ".txt" in a folder only
      {"/d/S.TBL", {false, false, false, false, false}},       // case-sensitive
      {"/d/SHEET.TXT", {false, false, false, false, false}},
      {"/d/old.txt.bak", {false, false, false, true, true}},   // anywhere in the title
      {"/d/x.tbl\xC4\xAF\xC5\x9C.txt", {true, true, true, true, true}},  // U+012F, U+015C: no separators
      {"/d/notes", {false, false, false, false, false}},
      {"", {false, false, false, false, false}},
  };
  for (const auto& [name, rules] : cases) {
    // Folders after the platform's own separator.
    const QString path = QString::fromUtf8(name).replace(QLatin1Char('/'), QLatin1Char(kPathSeparator));
    SCOPED_TRACE(path.toStdString());
    EXPECT_EQ((std::array{kind::LoadsAsStringTable(path), kind::SaveRefuses(path), kind::FreezeRefuses(path),
                          kind::AddKeyRefuses(path), kind::ArchivesAsSheet(path)}), rules);
  }
}

TEST(TextCodec, ChoosesUtf8OnlyForValidTextWithHighBytes) {
  const std::pair<QByteArray, bool> cases[] = {
      {"plain ascii", false},         {"\xC3\xBF" "c1Gold", true},        // colour code as the game stores it
      {"\xE6\x97\xA5\xE6\x9C\xAC", true}, {"\xF0\x9F\x98\x80", true},     // CJK, outside the basic plane
      {"Caf\xE9", false},             {"\x85\x92", false},                // Latin-1 and sheet punctuation
      {"\xC3", false},                {"\xC0\x80", false},                // cut short, overlong
      {"\xED\xA0\x80", false},        {"\xF4\x90\x80\x80", false},        // surrogate, past U+10FFFF
      {"\xED\xBF\xBF", false},        {"\xED\x9F\xBF\xEE\x80\x80", true},  // the last surrogate; either side of them
      {"\xF4\x8F\xBF\xBF", true},     {"\xC2\x80", true},               // U+10FFFF, U+0080: the last and first of their leads
      {"abcdefgh\xC3\xA9ijklmnop", true}, {"abcdefghijklmno\xE9", false},
      {"\xEF\xBB\xBF" "bom\xEF\xBF\xBD", true},                           // a byte-order mark and U+FFFD: lead 0xEF
  };
  for (const auto& [bytes, utf8] : cases)
    EXPECT_EQ(TextCodec::ForBytes(bytes).kind() == TextCodec::Kind::Utf8, utf8) << bytes.toHex().constData();
  EXPECT_TRUE(TextCodec::HasHighByte("abcdefghijklmno\xE9"));  // the high byte last in a step of eight
}

// Every byte is a character of its own in Windows-1252 and encodes back (the
// editor writes a cell back only when its text changed, so it never sees two
// bytes that decode alike; UTF-8 cells are checked through it). What a file
// cannot hold becomes one question mark a character.
TEST(TextCodec, EncodesEveryByteBackAndWhatTheFileCannotHoldAsAQuestionMark) {
  const TextCodec latin(TextCodec::Kind::Windows1252);
  QByteArray all;
  for (int b = 0; b < 256; ++b) all.append(static_cast<char>(b));
  EXPECT_EQ(latin.Encode(latin.Decode(all)), all);
  EXPECT_EQ(latin.Encode(QString::fromUtf8("\xE2\x82\xAC \xE6\x97\xA5 \xF0\x9F\x98\x80")), "\x80 ? ?");
  EXPECT_EQ(TextCodec(TextCodec::Kind::Utf8).Encode(QString("a") + QChar(0xD800)), "a?");
}

}  // namespace
