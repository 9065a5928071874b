#pragma once
// The per-file codec between a file's bytes and the text on screen. Files stay
// byte strings; only what is shown or typed converts, and both directions are
// lossless for every byte a file can hold.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

class TextCodec {
 public:
  enum class Kind { Utf8, Windows1252 };

  TextCodec() = default;
  explicit TextCodec(Kind kind) : m_kind(kind) {}

  // UTF-8 when the bytes are valid UTF-8 and hold a byte of 0x80 or more;
  // Windows-1252 otherwise.
  static TextCodec ForBytes(QByteArrayView bytes);
  // The same choice when the caller already knows whether a byte of 0x80 or
  // more is there (found while reading the file).
  static TextCodec ForBytes(QByteArrayView bytes, bool hasHighByte);
  static bool IsValidUtf8(QByteArrayView bytes);
  // Bytes in the UTF-8 sequence that `lead` begins; 0 for a byte that cannot
  // begin one.
  static int Utf8SequenceLength(quint8 lead);
  static bool HasHighByte(QByteArrayView bytes);

  Kind kind() const { return m_kind; }
  QString Decode(QByteArrayView bytes) const;
  // A character this codec cannot hold becomes '?'.
  QByteArray Encode(const QString& text) const;

 private:
  Kind m_kind = Kind::Windows1252;
};
