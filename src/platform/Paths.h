#pragma once
// Path pieces as the editor names them: a path's directory is everything
// before its last '/', its file title everything after it.
#include <QString>

QString DirectoryOf(const QString& path);
QString FileTitleOf(const QString& path);
