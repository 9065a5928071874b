/* The archive library's interface: four entries that put a file into an
 * existing MPQ archive. Shared by the library, the program that loads it at
 * run time, and the stand-ins the tests build.
 *
 * Every argument and result is a 32-bit value, except the strings: paths and
 * names are NUL-terminated single-byte strings, names in the archive with
 * backslash separators ("data\global\excel\weapons.txt"). Handles are small
 * numbers from the library's own table, never 0 and never 0xFFFFFFFF. */
#ifndef LMPQAPI_H
#define LMPQAPI_H

#include <stdint.h>

#if defined(_WIN32)
#define LMPQ_CALL __stdcall
#define LMPQ_EXPORT __declspec(dllexport)
#else
#define LMPQ_CALL
#define LMPQ_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Open modes; the program passes both (5). */
#define LMPQ_OPEN_EXISTING 0x00000001u   /* never create: a missing archive fails */
#define LMPQ_OPEN_KEEP_LISTFILE 0x00000004u /* the (listfile) gains every name added */

/* Add flags; the program passes all three (0x00010201). */
#define LMPQ_ADD_REPLACE 0x00000001u     /* a file of the same name is replaced */
#define LMPQ_ADD_COMPRESS 0x00000200u    /* PKWARE DCL implode, as the game's reader expects */
#define LMPQ_ADD_ENCRYPT 0x00010000u     /* encrypted with the key of its name */

/* Exported names. The program looks entries up by ordinal through one table
 * that maps each ordinal to its name (ArchiveLibrary.cpp). */
#define LMPQ_NAME_INITIALIZE "LmpqInitialize"     /* ordinal 9 */
#define LMPQ_NAME_OPEN_ARCHIVE "LmpqOpenArchive"  /* ordinal 11 */
#define LMPQ_NAME_ADD_FILE "LmpqAddFile"          /* ordinal 2 */
#define LMPQ_NAME_CLOSE_ARCHIVE "LmpqCloseArchive" /* ordinal 5 */

/* 1 when the library is ready. */
typedef uint32_t(LMPQ_CALL* LmpqInitializeFn)(void);
/* A handle for the existing archive at path, opened for update with room for
 * maxFiles files; 0 when it is missing, not an archive or not writable. */
typedef uint32_t(LMPQ_CALL* LmpqOpenArchiveFn)(const char* path, uint32_t mode, uint32_t maxFiles);
/* Stores the file on disk under nameInArchive; 1 on success, 0 otherwise. */
typedef uint32_t(LMPQ_CALL* LmpqAddFileFn)(uint32_t handle, const char* file, const char* nameInArchive,
                                           uint32_t flags);
/* Writes every change to disk and releases the handle; 1 on success. */
typedef uint32_t(LMPQ_CALL* LmpqCloseArchiveFn)(uint32_t handle, uint32_t flags);

/* The entries themselves, for the library and its stand-ins; the program only
 * ever reaches them through the loader. */
#ifdef LMPQAPI_BUILD
LMPQ_EXPORT uint32_t LMPQ_CALL LmpqInitialize(void);
LMPQ_EXPORT uint32_t LMPQ_CALL LmpqOpenArchive(const char* path, uint32_t mode, uint32_t maxFiles);
LMPQ_EXPORT uint32_t LMPQ_CALL LmpqAddFile(uint32_t handle, const char* file, const char* nameInArchive,
                                           uint32_t flags);
LMPQ_EXPORT uint32_t LMPQ_CALL LmpqCloseArchive(uint32_t handle, uint32_t flags);
#endif

#ifdef __cplusplus
}
#endif

#endif
