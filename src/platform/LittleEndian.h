#pragma once
// Little-endian fields of the files and of the worker's pipe, read and written
// a byte at a time: right whatever the host's byte order or the field's
// alignment. Plain C++ with no Qt, so that the archive worker can use it too.
#include <cstddef>
#include <cstdint>

namespace le {

template <typename T>
inline T Read(const char* at) {
  T value = 0;
  for (std::size_t i = sizeof(T); i-- > 0;) value = static_cast<T>(value << 8 | static_cast<std::uint8_t>(at[i]));
  return value;
}

template <typename T>
inline void Write(char* at, T value) {
  for (std::size_t i = 0; i < sizeof(T); ++i) at[i] = static_cast<char>(value >> (8 * i) & 0xFF);
}

}  // namespace le
