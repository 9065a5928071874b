// lmpqapi.dll as the program finds it: by its file name through the
// system's search, its entries by ordinal, freed after every outcome.
#include <windows.h>

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <string>

namespace {

// One AddFileToArchive call in a process of its own, whose PATH offers one
// stand-in: they export ordinals without names, so every outcome past "Can't
// load" shows that the entries were found by ordinal.
TEST(WindowsArchiveLibrary, FoundByNameEntriesByOrdinal) {
  const std::string open = "initialise\nopen C:\\a.mpq 5 20000\n";
  const std::pair<std::string, const char*> cases[] = {
      {"message Can't load lmpqapi.dll\nresult 0, freed\n", "none"},
      {"initialise\nmessage Can't initialize lmpqapi.dll\nresult 0, freed\n", "init-2"},
      {open + "message Can't open C:\\a.mpq as an D2Data.MPQ archive\nresult 0, freed\n", "open-ffffffff"},
      {open + "add 7 C:\\w.txt data\\global\\excel\\w.txt 0x00010201\nclose 7 0\nresult 1, freed\n", "recorder"}};
  for (const auto& [output, standin] : cases) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QString folder = QDir::toNativeSeparators(QStringLiteral(TW_STANDIN_DIR "/") + standin);
    environment.insert("PATH", folder + ";" + environment.value("PATH"));
    QProcess probe;
    probe.setProcessEnvironment(environment);
    probe.start(TW_ARCHIVE_PROBE, {"C:\\a.mpq", "C:\\w.txt", "data\\global\\excel\\w.txt"});
    EXPECT_TRUE(probe.waitForFinished(60000) && probe.exitCode() == 0) << standin;
    EXPECT_EQ(probe.readAllStandardOutput().replace("\r\n", "\n").toStdString(), output) << standin;
  }
}

}  // namespace
