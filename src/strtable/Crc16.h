#pragma once
// CRC-16/IBM-3740 (also CRC-16/CCITT-FALSE): polynomial 0x1021, most
// significant bit first, register starting at 0xFFFF, no reflection, no final
// XOR. The check value over "123456789" is 0x29B1.
#include <QByteArrayView>
#include <array>

namespace crc16 {

inline constexpr quint16 kPolynomial = 0x1021;
inline constexpr quint16 kInitial = 0xFFFF;

// Entry n is a register holding n << 8 after eight steps, each a shift left
// by one followed, when the bit shifted out was 1, by an XOR with the
// polynomial.
constexpr std::array<quint16, 256> MakeTable() {
  std::array<quint16, 256> table{};
  for (unsigned n = 0; n < 256; ++n) {
    unsigned reg = n << 8;
    for (int step = 0; step < 8; ++step)
      reg = (reg & 0x8000u) ? ((reg << 1) ^ kPolynomial) : (reg << 1);
    table[n] = static_cast<quint16>(reg);
  }
  return table;
}

inline constexpr std::array<quint16, 256> kTable = MakeTable();

constexpr quint16 Update(quint16 reg, quint8 byte) {
  return kTable[((reg >> 8) ^ byte) & 0xFFu] ^ static_cast<quint16>((reg & 0xFFu) << 8);
}

inline quint16 Update(quint16 reg, QByteArrayView bytes) {
  for (const char c : bytes) reg = Update(reg, static_cast<quint8>(c));
  return reg;
}

inline quint16 Of(QByteArrayView bytes) { return Update(kInitial, bytes); }

}  // namespace crc16
