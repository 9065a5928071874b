#include "platform/Profile.h"

// Reading and writing the file differ by platform: ProfilePosix.cpp and
// ProfileWindows.cpp.
Profile::Profile(QString path) : m_path(std::move(path)) {}
