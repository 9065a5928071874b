#include "platform/TextCodec.h"

#include <array>
#include <cstring>

#include <QStringDecoder>

namespace {
// Windows-1252 for 0x80..0x9F; the five bytes it leaves undefined map to the
// C1 control of the same value so that every byte keeps a character of its own.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char encode1252(char16_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
  for (size_t i = 0; i < kHighControls.size(); ++i)
    if (kHighControls[i] == c) return static_cast<char>(0x80 + i);
  return '?';
}
}  // namespace

bool TextCodec::HasHighByte(QByteArrayView bytes) {
  const char* p = bytes.data();
  const qsizetype n = bytes.size();
  qsizetype i = 0;
  // Whole files go through here: 64 bytes a step, with no branch inside, so
  // that the compiler can use vector registers.
  for (; i + 64 <= n; i += 64) {
    quint64 any = 0;
    for (int k = 0; k < 64; k += 8) {
      quint64 word;
      std::memcpy(&word, p + i + k, 8);
      any |= word;
    }
    if (any & 0x8080808080808080ull) return true;
  }
  for (; i + 8 <= n; i += 8) {
    quint64 word;
    std::memcpy(&word, p + i, 8);
    if (word & 0x8080808080808080ull) return true;
  }
  for (; i < n; ++i)
    if (static_cast<unsigned char>(p[i]) >= 0x80) return true;
  return false;
}

int TextCodec::Utf8SequenceLength(quint8 lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

bool TextCodec::IsValidUtf8(QByteArrayView bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const qsizetype n = bytes.size();
  qsizetype i = 0;
  while (i < n) {
    if (i + 8 <= n) {  // skip plain ASCII eight bytes at a time
      quint64 word;
      std::memcpy(&word, p + i, 8);
      if (!(word & 0x8080808080808080ull)) {
        i += 8;
        continue;
      }
    }
    const unsigned char b = p[i];
    if (b < 0x80) {
      ++i;
      continue;
    }
    const int length = Utf8SequenceLength(b);
    if (length == 0) return false;
    const int extra = length - 1;
    constexpr char32_t kLeast[] = {0, 0x80, 0x800, 0x10000};  // below these a sequence is overlong
    const char32_t minimum = kLeast[extra];
    char32_t cp = b & (0x7F >> length);
    if (i + extra >= n) return false;
    for (int k = 1; k <= extra; ++k) {
      const unsigned char c = p[i + k];
      if ((c & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += extra + 1;
  }
  return true;
}

TextCodec TextCodec::ForBytes(QByteArrayView bytes) { return ForBytes(bytes, HasHighByte(bytes)); }

TextCodec TextCodec::ForBytes(QByteArrayView bytes, bool hasHighByte) {
  return TextCodec(hasHighByte && IsValidUtf8(bytes) ? Kind::Utf8 : Kind::Windows1252);
}

QString TextCodec::Decode(QByteArrayView bytes) const {
  if (m_kind == Kind::Utf8) {
    // A cell may begin with U+FEFF; it is text, not a byte order mark to drop.
    QStringDecoder decoder(QStringConverter::Utf8,
                           QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
    return decoder(bytes);
  }
  QString text(bytes.size(), Qt::Uninitialized);
  char16_t* out = reinterpret_cast<char16_t*>(text.data());
  for (qsizetype i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    out[i] = (b >= 0x80 && b < 0xA0) ? kHighControls[b - 0x80] : char16_t(b);
  }
  return text;
}

QByteArray TextCodec::Encode(const QString& text) const {
  if (m_kind == Kind::Utf8) {
    // Lone surrogates cannot be stored: they become '?' like any other
    // character the file cannot hold.
    QString clean = text;
    for (qsizetype i = 0; i < clean.size(); ++i) {
      const QChar c = clean.at(i);
      if (c.isHighSurrogate() && i + 1 < clean.size() && clean.at(i + 1).isLowSurrogate()) { ++i; continue; }
      if (c.isSurrogate()) clean[i] = QLatin1Char('?');
    }
    return clean.toUtf8();
  }
  QByteArray bytes;
  bytes.reserve(text.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text.at(i);
    // A character outside the basic plane is one character: one '?'.
    if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) ++i;
    bytes.append(encode1252(c.unicode()));
  }
  return bytes;
}
