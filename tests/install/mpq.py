#!/usr/bin/python3
"""Makes and reads MPQ archives with the system's StormLib, for the end-to-end
runs on Linux and under Wine (the archive the program adds to is made here).

  mpq.py create ARCHIVE          an empty format-1 archive with a (listfile)
  mpq.py nameless ARCHIVE NAME   an archive of the game's patch shape (format 0,
                                 no (listfile)) holding a small file NAME,
                                 imploded and encrypted
  mpq.py read ARCHIVE NAME       the file NAME's bytes on standard output
"""
import ctypes
import sys

storm = ctypes.CDLL("libstorm.so.9")
HANDLE = ctypes.c_void_p
MPQ_CREATE_LISTFILE = 0x00100000
MPQ_CREATE_ARCHIVE_V1 = 0x00000000


def create(path):
    mpq = HANDLE()
    if not storm.SFileCreateArchive(path.encode(), MPQ_CREATE_LISTFILE | MPQ_CREATE_ARCHIVE_V1, 64,
                                    ctypes.byref(mpq)):
        sys.exit(f"cannot create {path}")
    storm.SFileCloseArchive(mpq)


class CreateSettings(ctypes.Structure):
    _fields_ = [(field, ctypes.c_uint32) for field in (
        "cbSize", "dwMpqVersion", "pvUserData", "cbUserData", "dwStreamFlags", "dwFileFlags1", "dwFileFlags2",
        "dwFileFlags3", "dwAttrFlags", "dwSectorSize", "dwRawChunkSize", "dwMaxFileCount")]
    _fields_[2] = ("pvUserData", ctypes.c_void_p)


def nameless(path, name):
    settings = CreateSettings(cbSize=ctypes.sizeof(CreateSettings), dwSectorSize=0x1000, dwMaxFileCount=16)
    mpq, file = HANDLE(), HANDLE()
    if not storm.SFileCreateArchive2(path.encode(), ctypes.byref(settings), ctypes.byref(mpq)):
        sys.exit(f"cannot create {path}")
    data = b"name\tcode\r\nOld\tax\r\n" * 50
    IMPLODE_ENCRYPTED, PKWARE = 0x00000100 | 0x00010000, 0x08
    if not (storm.SFileCreateFile(mpq, name.encode(), ctypes.c_uint64(0), len(data), 0, IMPLODE_ENCRYPTED,
                                  ctypes.byref(file))
            and storm.SFileWriteFile(file, data, len(data), PKWARE) and storm.SFileFinishFile(file)):
        sys.exit(f"cannot store {name} in {path}")
    storm.SFileCloseArchive(mpq)


def read(path, name):
    mpq, file = HANDLE(), HANDLE()
    if not storm.SFileOpenArchive(path.encode(), 0, 0, ctypes.byref(mpq)):
        sys.exit(f"cannot open {path}")
    if not storm.SFileOpenFileEx(mpq, name.encode(), 0, ctypes.byref(file)):
        sys.exit(f"no {name} in {path}")
    size = storm.SFileGetFileSize(file, None)
    data = ctypes.create_string_buffer(size)
    got = ctypes.c_uint32()
    storm.SFileReadFile(file, data, size, ctypes.byref(got), None)
    storm.SFileCloseFile(file)
    storm.SFileCloseArchive(mpq)
    sys.stdout.buffer.write(data.raw[:got.value])


if __name__ == "__main__":
    if sys.argv[1:2] == ["create"]:
        create(sys.argv[2])
    elif sys.argv[1:2] == ["nameless"]:
        nameless(sys.argv[2], sys.argv[3])
    elif sys.argv[1:2] == ["read"]:
        read(sys.argv[2], sys.argv[3])
    else:
        sys.exit(__doc__)
