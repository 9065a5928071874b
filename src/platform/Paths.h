#pragma once
// Path pieces as the editor names them: a path's directory is everything
// before its last separator, its file title everything after it. The
// separator is the platform's own: a backslash on Windows, '/' elsewhere.
#include <QString>

#if defined(_WIN32)
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

QString DirectoryOf(const QString& path);
QString FileTitleOf(const QString& path);
