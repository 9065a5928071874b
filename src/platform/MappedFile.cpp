#include "platform/MappedFile.h"

#include <utility>

MappedFile::MappedFile(MappedFile&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)),
      m_size(std::exchange(other.m_size, 0)),
      m_length(std::exchange(other.m_length, 0)),
      m_slot(std::exchange(other.m_slot, -1)) {}

MappedFile& MappedFile::operator=(MappedFile&& other) noexcept {
  if (this != &other) {
    release();
    m_data = std::exchange(other.m_data, nullptr);
    m_size = std::exchange(other.m_size, 0);
    m_length = std::exchange(other.m_length, 0);
    m_slot = std::exchange(other.m_slot, -1);
  }
  return *this;
}

MappedFile::~MappedFile() { release(); }
