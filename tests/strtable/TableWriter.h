#pragma once
// Writes string tables the way the game lays them out, so that the reader is
// tested on files of the real shape without keeping game files around:
//
//   0  u16 CRC of the string region      9  u32 start of the string region
//   2  u16 entry count                  13  u32 most probes of any key
//   4  u32 number of nodes              17  u32 end of the string region (file size)
//   8  u8  version                      21  u16 index array, then the nodes
//
// Each 17-byte node: u8 used, u16 entry, u32 key hash, u32 key offset, u32
// value offset, u16 value length. Nodes form an open-addressing hash table,
// so the index array points at them out of order. The CRC is worked out bit
// by bit here, independently of the program's table-driven one.
#include <QByteArray>
#include <QtGlobal>
#include <vector>

struct TableEntry {
  QByteArray key;
  QByteArray value;
};

struct TableWriterOptions {
  quint8 version = 0;
  // The game's value lengths count the value's zero byte.
  bool lengthCountsZero = true;
  // Nodes in the hash table; 0 picks about twice the entry count (at most
  // 65536, as node numbers are u16).
  int nodeCount = 0;
  // Write the texts last entry first, so that offsets run backwards.
  bool textsBackwards = false;
};

QByteArray WriteStringTable(const std::vector<TableEntry>& entries,
                            const TableWriterOptions& options = {});

// CRC-16/IBM-3740, one bit at a time.
quint16 BitwiseCrc16(QByteArrayView bytes);

// Little-endian patches for making hostile files out of good ones.
void PutU16(QByteArray& bytes, qint64 offset, quint16 value);
void PutU32(QByteArray& bytes, qint64 offset, quint32 value);
quint16 GetU16(const QByteArray& bytes, qint64 offset);
quint32 GetU32(const QByteArray& bytes, qint64 offset);

// A hostile table whose entries all point into one run of bytes at its end:
// entry i's key starts keyStep * i bytes into the run and its value
// valueStep * i bytes in (both wrapping round the run), with the given value
// length. The run decides where texts end: at its zero bytes or the file's end.
QByteArray WriteOverlappingTable(const QByteArray& run, int count, int keyStep, int valueStep,
                                 quint16 valueLength);
