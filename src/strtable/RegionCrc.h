#pragma once
// The checksum of the byte region that a string table's header marks out:
// from the u32 at offset 9 up to, not including, the u32 at offset 17.
//
// The region stops at the end of the file: only bytes the file holds are
// summed. So a region that starts at or past the end sums nothing (0xFFFF),
// one that runs past the end sums up to the end, and one whose end lies below
// its start (an unsigned byte count close to 2^32) sums from its start to the
// end of the file. A header too short to hold a field reads it as 0.
#include <QByteArrayView>
#include <QtGlobal>

quint16 ComputeRegionCrc(QByteArrayView fileBytes);
