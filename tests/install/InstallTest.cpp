// `cmake --install` into a prefix of the test's own: what lands where, whether
// the installed program finds its archive library, whether the desktop's own
// validators accept the desktop entry and metainfo, and whether the program
// tells the same name, description, version and icon everywhere.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QImage>
#include <QLibrary>
#include <QMap>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <memory>

#include "InstallTree.h"
#include "Run.h"
#include "archive/ArchiveLibrary.h"
#include "res/Artwork.h"
#include "ui/TabSheetDlg.h"

namespace {

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The keys of the desktop entry's main group.
QMap<QString, QString> ReadDesktopEntry(const QString& path) {
  QMap<QString, QString> keys;
  bool inMainGroup = false;
  for (const QByteArray& raw : ReadAll(path).split('\n')) {
    const QString line = QString::fromUtf8(raw).trimmed();
    if (line.startsWith('[')) inMainGroup = line == QLatin1String("[Desktop Entry]");
    else if (inMainGroup && line.contains('=') && !line.startsWith('#'))
      keys.insert(line.section('=', 0, 0), line.section('=', 1));
  }
  return keys;
}

struct Metainfo {
  QString id, name, summary, launchable, icon, binary, releaseVersion;
  int releases = 0;
};

Metainfo ReadMetainfo(const QString& path, QString& error) {
  Metainfo info;
  QXmlStreamReader xml(ReadAll(path));
  QStringList open;
  while (!xml.atEnd()) {
    xml.readNext();
    if (xml.isStartElement()) {
      const QString element = xml.name().toString();
      const QString parent = open.isEmpty() ? QString() : open.last();
      open << element;
      if (element == "release" && parent == "releases") {
        ++info.releases;
        if (info.releaseVersion.isEmpty()) info.releaseVersion = xml.attributes().value("version").toString();
      } else if (parent == "component" && element == "id") info.id = xml.readElementText();
      else if (parent == "component" && element == "name") info.name = xml.readElementText();
      else if (parent == "component" && element == "summary") info.summary = xml.readElementText();
      else if (parent == "component" && element == "launchable") info.launchable = xml.readElementText();
      else if (parent == "component" && element == "icon") info.icon = xml.readElementText();
      else if (parent == "provides" && element == "binary") info.binary = xml.readElementText();
      if (xml.tokenType() == QXmlStreamReader::EndElement) open.removeLast();  // read the text already
    } else if (xml.isEndElement()) {
      open.removeLast();
    }
  }
  if (xml.hasError()) error = xml.errorString();
  return info;
}

// The Windows version record: its string values and its numeric versions.
struct VersionRecord {
  QMap<QString, QString> strings;
  QString fileVersion, productVersion;
  bool hasIcon128 = false;
};

VersionRecord ReadVersionRecord(const QString& rcPath) {
  VersionRecord record;
  const QString text = QString::fromUtf8(ReadAll(rcPath));
  static const QRegularExpression value(QString::fromLatin1(R"re(VALUE\s+"([^"]+)",\s*"([^"]*)")re"));
  for (auto it = value.globalMatch(text); it.hasNext();) {
    const auto match = it.next();
    QString string = match.captured(2);
    if (string.endsWith(QLatin1String("\\0"))) string.chop(2);
    record.strings.insert(match.captured(1), string);
  }
  static const QRegularExpression fileVersion(QString::fromLatin1(R"(^\s*FILEVERSION\s+([\d,\s]+?)\s*$)"),
                                              QRegularExpression::MultilineOption);
  static const QRegularExpression productVersion(QString::fromLatin1(R"(^\s*PRODUCTVERSION\s+([\d,\s]+?)\s*$)"),
                                                 QRegularExpression::MultilineOption);
  record.fileVersion = fileVersion.match(text).captured(1).remove(' ');
  record.productVersion = productVersion.match(text).captured(1).remove(' ');
  record.hasIcon128 = QRegularExpression(QString::fromLatin1(R"re(^IDR_MAINFRAME\s+ICON\s+"tabwright\.ico")re"),
                                         QRegularExpression::MultilineOption)
                          .match(text)
                          .hasMatch();
  return record;
}

// The run path entries of an ELF file, with the tag that holds them.
QStringList RunPathOf(const QString& file, QString& tag) {
  const RunResult readelf = RunCommand(QStringLiteral("readelf"), {QStringLiteral("-d"), file});
  static const QRegularExpression entry(QString::fromLatin1(R"(\((RPATH|RUNPATH)\)\s+Library r(?:un)?path: \[([^\]]*)\])"));
  const auto match = entry.match(QString::fromUtf8(readelf.out));
  if (!match.hasMatch()) return {};
  tag = match.captured(1);
  return match.captured(2).split(':', Qt::SkipEmptyParts);
}

QImage ProgramIcon32() {
  return ApplicationIcon().pixmap(QSize(32, 32), 1.0).toImage().convertToFormat(QImage::Format_ARGB32);
}

class Installed : public testing::Test {
 protected:
  void SetUp() override {
    m_tree = std::make_unique<InstallTree>();
    ASSERT_TRUE(m_tree->ok()) << m_tree->log();
  }
  std::unique_ptr<InstallTree> m_tree;
};

TEST_F(Installed, PutsTheProgramItsLibraryAndItsDesktopFilesUnderThePrefix) {
  for (const QString& file : {m_tree->program(), m_tree->library(), m_tree->desktopEntry(), m_tree->metainfo(),
                              m_tree->pngIcon(), m_tree->svgIcon()})
    EXPECT_TRUE(QFileInfo(file).isFile()) << file.toStdString() << " missing; install said:\n" << m_tree->log();
  EXPECT_TRUE(QFileInfo(m_tree->program()).isExecutable());

  // Nothing is written outside the prefix.
  static const QRegularExpression installed(QString::fromLatin1(R"(^-- (?:Installing|Up-to-date): (.*)$)"),
                                            QRegularExpression::MultilineOption);
  int files = 0;
  for (auto it = installed.globalMatch(QString::fromStdString(m_tree->log())); it.hasNext(); ++files) {
    const QString path = it.next().captured(1);
    EXPECT_TRUE(path.startsWith(m_tree->prefix() + '/')) << path.toStdString();
  }
  EXPECT_GE(files, 6) << m_tree->log();
}

TEST_F(Installed, ProgramFindsTheInstalledArchiveLibraryThroughItsRunPath) {
  // The program loads the library by its bare name from inside the toolkit's
  // own library; only the program's DT_RPATH (not a DT_RUNPATH) reaches there.
  QString tag;
  const QStringList runPath = RunPathOf(m_tree->program(), tag);
  ASSERT_FALSE(runPath.isEmpty()) << "the installed program has no run path";
  EXPECT_EQ(tag, "RPATH");

  const QString origin = QFileInfo(m_tree->program()).absolutePath();
  QString found;
  for (QString directory : runPath) {
    EXPECT_FALSE(directory.startsWith(QStringLiteral(TW_BUILD_DIR)) || directory.startsWith(QStringLiteral(TW_SOURCE_DIR)))
        << "the installed program looks into the build: " << directory.toStdString();
    directory.replace(QLatin1String("$ORIGIN"), origin);
    if (found.isEmpty() && QFileInfo::exists(directory + "/liblmpqapi.so")) found = directory + "/liblmpqapi.so";
  }
  ASSERT_FALSE(found.isEmpty()) << "no run path entry holds liblmpqapi.so: " << runPath.join(':').toStdString();
  EXPECT_EQ(QFileInfo(found).canonicalFilePath(), QFileInfo(m_tree->library()).canonicalFilePath());

  // And what is found there is the archive library, with its four entries.
  QLibrary library(found);
  ASSERT_TRUE(library.load()) << library.errorString().toStdString();
  for (const int ordinal : {9, 11, 2, 5}) {
    const char* name = ArchiveLibrary::ExportedNameOf(ordinal);
    ASSERT_NE(name, nullptr) << ordinal;
    EXPECT_NE(library.resolve(name), nullptr) << "entry " << ordinal << " (" << name << ") missing";
  }
  library.unload();
}

TEST_F(Installed, DesktopValidatorsAcceptTheDesktopEntryAndTheMetainfo) {
  const RunResult desktop = RunCommand(QStringLiteral("desktop-file-validate"), {m_tree->desktopEntry()});
  EXPECT_TRUE(desktop.ok()) << desktop.text();
  EXPECT_FALSE(desktop.text().find("error") != std::string::npos || desktop.text().find("warning") != std::string::npos)
      << desktop.text();

  const RunResult metainfo =
      RunCommand(QStringLiteral("appstreamcli"), {QStringLiteral("validate"), QStringLiteral("--no-net"), m_tree->metainfo()});
  EXPECT_TRUE(metainfo.ok()) << metainfo.text();

  // The installed tree as a whole: the metainfo's launchable names an
  // installed desktop entry.
  const RunResult tree =
      RunCommand(QStringLiteral("appstreamcli"), {QStringLiteral("validate-tree"), QStringLiteral("--no-net"), m_tree->prefix()});
  EXPECT_TRUE(tree.ok()) << tree.text();
}

TEST_F(Installed, NameDescriptionVersionAndIdAgreeEverywhere) {
  const QMap<QString, QString> desktop = ReadDesktopEntry(m_tree->desktopEntry());
  QString error;
  const Metainfo meta = ReadMetainfo(m_tree->metainfo(), error);
  ASSERT_TRUE(error.isEmpty()) << error.toStdString();
  const VersionRecord record = ReadVersionRecord(QStringLiteral(TW_SOURCE_DIR "/src/res/tabwright.rc"));

  // One id: metainfo, desktop entry, icons.
  EXPECT_EQ(meta.id, kAppId);
  EXPECT_EQ(meta.launchable, QStringLiteral("%1.desktop").arg(kAppId));
  EXPECT_EQ(meta.icon, kAppId);
  EXPECT_EQ(desktop.value("Icon"), kAppId);

  // The program: started by the installed binary's name, with one file.
  const QString binary = QFileInfo(m_tree->program()).fileName();
  EXPECT_EQ(desktop.value("Exec"), binary + " %f");
  EXPECT_EQ(meta.binary, binary);
  EXPECT_EQ(desktop.value("Type"), "Application");

  // Name and description: the version record's, on every side.
  EXPECT_EQ(record.strings.value("ProductName"), "Tabwright");
  EXPECT_EQ(record.strings.value("Comments"), "Tabsheet editor & TBL Viewer");
  EXPECT_EQ(desktop.value("Name"), record.strings.value("ProductName"));
  EXPECT_EQ(meta.name, record.strings.value("ProductName"));
  EXPECT_EQ(desktop.value("Comment"), record.strings.value("Comments"));
  EXPECT_EQ(meta.summary, record.strings.value("Comments"));

  // Version: the build's, the metainfo's release and the record's numbers.
  EXPECT_EQ(meta.releases, 1);
  EXPECT_EQ(meta.releaseVersion, TW_PROJECT_VERSION);
  const QString fourPart = QStringLiteral(TW_PROJECT_VERSION ".0").replace('.', ',');
  EXPECT_EQ(record.fileVersion, fourPart);
  EXPECT_EQ(record.productVersion, fourPart);
  EXPECT_EQ(record.strings.value("ProductVersion"), fourPart.split(',').join(", "));
  EXPECT_EQ(record.strings.value("FileVersion"), "B1");

  // The record's remaining fields; the descriptions are the window's caption.
  CTabSheetDlg window;
  EXPECT_EQ(record.strings.value("FileDescription"), window.windowTitle());
  EXPECT_EQ(record.strings.value("InternalName"), window.windowTitle());
  EXPECT_EQ(record.strings.value("OriginalFilename"), "Tabwright.exe");
  for (const char* empty : {"CompanyName", "LegalTrademarks", "PrivateBuild", "SpecialBuild"}) {
    EXPECT_TRUE(record.strings.contains(empty)) << empty;
    EXPECT_EQ(record.strings.value(empty), "") << empty;
  }
  EXPECT_EQ(record.strings.size(), 11) << QStringList(record.strings.keys()).join(' ').toStdString();
  EXPECT_TRUE(record.hasIcon128);
}

TEST_F(Installed, IconsAreThePicturesTheProgramDrawsForItself) {
  const QImage own = ProgramIcon32();
  ASSERT_EQ(own.size(), QSize(32, 32));

  const QImage png = QImage(m_tree->pngIcon()).convertToFormat(QImage::Format_ARGB32);
  ASSERT_EQ(png.size(), QSize(32, 32));
  EXPECT_TRUE(png == own) << "the installed PNG is not the program's window icon";

  // The Windows icon was rendered once from the same drawing; if the drawing
  // changes, render it again: render-icon 32 src/res/tabwright.ico
  const QImage ico = QImage(QStringLiteral(TW_SOURCE_DIR "/src/res/tabwright.ico")).convertToFormat(QImage::Format_ARGB32);
  ASSERT_EQ(ico.size(), QSize(32, 32));
  EXPECT_TRUE(ico == own) << "src/res/tabwright.ico is out of date";

  // The scalable icon: well-formed SVG, square, nothing fetched from outside.
  QXmlStreamReader svg(ReadAll(m_tree->svgIcon()));
  ASSERT_TRUE(svg.readNextStartElement()) << svg.errorString().toStdString();
  EXPECT_EQ(svg.name(), QLatin1String("svg"));
  EXPECT_EQ(svg.namespaceUri(), QLatin1String("http://www.w3.org/2000/svg"));
  const QStringList viewBox = svg.attributes().value("viewBox").toString().split(' ', Qt::SkipEmptyParts);
  ASSERT_EQ(viewBox.size(), 4);
  EXPECT_EQ(viewBox[2], viewBox[3]);
  int elements = 1;
  while (!svg.atEnd()) {
    if (svg.readNext() != QXmlStreamReader::StartElement) continue;
    ++elements;
    for (const QXmlStreamAttribute& attribute : svg.attributes())
      EXPECT_NE(attribute.name(), QLatin1String("href")) << "the icon refers to " << attribute.value().toString().toStdString();
  }
  EXPECT_FALSE(svg.hasError()) << svg.errorString().toStdString();
  EXPECT_GT(elements, 3);
}

}  // namespace
