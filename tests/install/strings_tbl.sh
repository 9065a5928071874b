#!/bin/bash
# Writes a string table of four entries, laid out as the game lays them out,
# to the file named, and prints the CRC its header carries (hexadecimal, as
# the window's title shows it). Shared by the end-to-end runs on Linux and
# under Wine.
#   0 u16 CRC  2 u16 entries  4 u32 nodes  9 u32 region start  17 u32 region end
#   then the index array, 17-byte nodes (in reverse entry order, so that the
#   index array matters), then the keys and values, the region the CRC covers.
#   node: +0 u8 used  +1 u16 entry  +7 u32 key offset  +11 u32 value offset  +15 u16 value length
# strings_tbl.sh <out>
set -eu
out=$1
region=$(mktemp)
trap 'rm -f "$region"' EXIT
le() { local k; for ((k = 0; k < $2; k++)); do printf '\\x%02x' $((($1 >> 8 * k) & 255)); done; } # as printf escapes
keys=(WarnDoor ShortSword Gold Gold) values=("The door is locked." $'\xC3\xBF'"c4Short Sword" Gold Twice)
n=4 texts=$((21 + 19 * 4)) offsets=() head= nodes=
for ((i = 0; i < n; i++)); do
  offsets+=($((texts + $(stat -c %s "$region")))) && printf '%s\0' "${keys[i]}" >>"$region"
  offsets+=($((texts + $(stat -c %s "$region")))) && printf '%s\0' "${values[i]}" >>"$region"
  offsets+=($((texts + $(stat -c %s "$region") - offsets[3 * i + 1] - 1)))
done
# CRC-16/IBM-3740 of the region, bit by bit.
crc=0xFFFF
for b in $(od -An -v -tu1 "$region"); do
  crc=$((crc ^ (b << 8)))
  for ((k = 0; k < 8; k++)); do crc=$(((crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1) & 0xFFFF)); done
done
for ((i = 0; i < n; i++)); do head+=$(le $((n - 1 - i)) 2); done
for ((node = 0; node < n; node++)); do
  i=$((n - 1 - node))
  nodes+='\x01'$(le $i 2; le 0 4; le ${offsets[3 * i]} 4; le ${offsets[3 * i + 1]} 4; le ${offsets[3 * i + 2]} 2)
done
{ printf "$(le $crc 2; le $n 2; le $n 4; le 0 1; le $texts 4; le 0 4; le $((texts + $(stat -c %s "$region"))) 4)$head$nodes"
  cat "$region"; } >"$out"
printf '%X\n' $crc
