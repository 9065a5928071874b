#include "platform/MappedFile.h"

// No read leases here: every file is read into memory instead.
bool MappedFile::map(const QString&) { return false; }
bool MappedFile::sharesFilePages() const { return false; }
bool MappedFile::letGoStep(std::size_t) { return false; }
void MappedFile::release() {}
