/*
 * unlha32.h - public interface of libunlha32, an LZH archive reader.
 *
 * The library reads LZH (LHA) archives, plain or appended to a
 * self-extracting executable, and extracts members into memory. Nothing is
 * ever written to disk. Decompression is done by lhasa, for the methods
 * -lh0- to -lh7-, -lzs-, -lz4- and -lz5- (-lhd- is a folder); members
 * packed with any other method are listed, and their extraction fails with
 * UNLHA_ERROR_METHOD. Member names, dates and attributes are read from the
 * raw headers by this library. A header lhasa refuses (an entry without a
 * file name, such as an empty folder some archivers store as -lh0-) is read
 * by the library itself, and the listing goes on after it when its lengths
 * hold; a folder entry that names nothing is not listed.
 *
 * Strings (paths, wildcards, member names) are NUL-terminated UTF-8 on this
 * platform. Member names are converted to UTF-8 from the archive's encoding
 * (code page 932 for MS-DOS/Windows archives, kept as they are when already
 * UTF-8, UTF-16 extended headers where present) and use "/" between folder
 * names.
 *
 * All entry points are plain C, use the calling convention UNLHA_API
 * (__stdcall on 32-bit Windows, the platform default elsewhere) and are safe
 * to call with a NULL archive handle.
 */
#ifndef UNLHA32_H
#define UNLHA32_H

#include <stddef.h>
#include <stdint.h>
#include <time.h>

#if defined(_WIN32) && !defined(_WIN64)
#define UNLHA_API __stdcall
#else
#define UNLHA_API
#endif

#if defined(UNLHA32_BUILDING)
#if defined(_WIN32)
#define UNLHA_EXPORT __declspec(dllexport)
#else
#define UNLHA_EXPORT __attribute__((visibility("default")))
#endif
#else
#define UNLHA_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Opaque archive handle returned by UnlhaOpenArchive. */
typedef struct UnlhaArchive* HARC;

/* ------------------------------------------------------------------------
 * Function numbers for UnlhaQueryFunctionList. The numbers follow the
 * numbering customary for archiver libraries of this kind; the program asks
 * for 23 (UNLHA_FN_OPEN_ARCHIVE) before it lists an archive. Every number
 * not listed here is answered with 0.
 * ---------------------------------------------------------------------- */
#define UNLHA_FN_CHECK_ARCHIVE 16
#define UNLHA_FN_QUERY_FUNCTION_LIST 19
#define UNLHA_FN_OPEN_ARCHIVE 23
#define UNLHA_FN_CLOSE_ARCHIVE 24
#define UNLHA_FN_FIND_FIRST 25
#define UNLHA_FN_FIND_NEXT 26
#define UNLHA_FN_EXTRACT_MEM 35
#define UNLHA_FN_GET_ATTRIBUTE 57

/* ------------------------------------------------------------------------
 * Results. Functions returning int return 0 for success; UnlhaExtractMem
 * returns one of the error codes below otherwise. The find functions return
 * -1 when no (further) member matches.
 * ---------------------------------------------------------------------- */
#define UNLHA_OK 0
#define UNLHA_ERROR_BAD_ARGUMENT 0x8001  /* NULL or malformed argument      */
#define UNLHA_ERROR_COMMAND 0x8002       /* command line without a member  */
#define UNLHA_ERROR_FILE_OPEN 0x8003     /* archive file cannot be opened  */
#define UNLHA_ERROR_NOT_ARCHIVE 0x8004   /* no LZH archive in the file     */
#define UNLHA_ERROR_NOT_FOUND 0x8005     /* no member matches the name     */
#define UNLHA_ERROR_NOT_FILE 0x8006      /* the member is a folder         */
#define UNLHA_ERROR_METHOD 0x8007        /* unsupported compression method */
#define UNLHA_ERROR_TRUNCATED 0x8008     /* member data cut short          */
#define UNLHA_ERROR_DATA 0x8009          /* decoding failed                */
#define UNLHA_ERROR_CRC 0x800A           /* CRC-16 of the data is wrong    */
#define UNLHA_ERROR_MEMORY 0x800B        /* out of memory                  */

/* DOS attribute bits reported by UnlhaGetAttribute and UnlhaExtractMem. */
#define UNLHA_ATTR_READONLY 0x01
#define UNLHA_ATTR_HIDDEN 0x02
#define UNLHA_ATTR_SYSTEM 0x04
#define UNLHA_ATTR_DIRECTORY 0x10
#define UNLHA_ATTR_ARCHIVE 0x20

/* Room for a member name in the record: 512 bytes and the terminating NUL. */
#define UNLHA_NAME_MAX 512

/* ------------------------------------------------------------------------
 * ArchiveMemberInfo: the 560-byte member record filled by UnlhaFindFirst
 * and UnlhaFindNext. Little-endian, natural alignment, no hidden padding.
 *
 * offset size  field
 *    0    4    originalSize    size before compression (clamped to 32 bits)
 *    4    4    compressedSize  size of the compressed data (clamped)
 *    8    4    crc             CRC-16 of the member data (low 16 bits)
 *   12    4    flag            0 (reserved)
 *   16    4    osType          OS identifier byte of the header ('M', 'U',
 *                              'w', ...; 0 when the header carries none)
 *   20    2    ratio           compressed size per mille of the original
 *                              size (0 for an empty member)
 *   22    2    dosDate         MS-DOS date: bits 15-9 year - 1980,
 *                              bits 8-5 month, bits 4-0 day (local time)
 *   24    2    dosTime         MS-DOS time: bits 15-11 hour, 10-5 minute,
 *                              4-0 second / 2 (local time)
 *   26  513    name            member name, UTF-8, "/" between folders,
 *                              NUL-terminated, cut at a character boundary
 *                              when longer than 512 bytes; a folder entry
 *                              ends with "/"
 *  539    3    reserved1       0
 *  542    8    attribute       attribute text: five characters "RHSDA",
 *                              each replaced by '-' when the bit is clear
 *  550    8    method          compression method text, e.g. "-lh5-"
 *  558    2    reserved2       0
 * ---------------------------------------------------------------------- */
typedef struct ArchiveMemberInfo {
    uint32_t originalSize;
    uint32_t compressedSize;
    uint32_t crc;
    uint32_t flag;
    uint32_t osType;
    uint16_t ratio;
    uint16_t dosDate;
    uint16_t dosTime;
    char name[UNLHA_NAME_MAX + 1];
    char reserved1[3];
    char attribute[8];
    char method[8];
    char reserved2[2];
} ArchiveMemberInfo;

#ifdef __cplusplus
#define UNLHA_STATIC_ASSERT static_assert
#else
#define UNLHA_STATIC_ASSERT _Static_assert
#endif
UNLHA_STATIC_ASSERT(sizeof(ArchiveMemberInfo) == 560, "ArchiveMemberInfo must be 560 bytes");
UNLHA_STATIC_ASSERT(offsetof(ArchiveMemberInfo, compressedSize) == 4, "compressedSize at offset 4");
UNLHA_STATIC_ASSERT(offsetof(ArchiveMemberInfo, ratio) == 20, "ratio at offset 20");
UNLHA_STATIC_ASSERT(offsetof(ArchiveMemberInfo, dosDate) == 22, "dosDate at offset 22");
UNLHA_STATIC_ASSERT(offsetof(ArchiveMemberInfo, dosTime) == 24, "dosTime at offset 24");
UNLHA_STATIC_ASSERT(offsetof(ArchiveMemberInfo, name) == 26, "name at offset 26");
UNLHA_STATIC_ASSERT(offsetof(ArchiveMemberInfo, attribute) == 542, "attribute at offset 542");
UNLHA_STATIC_ASSERT(offsetof(ArchiveMemberInfo, method) == 550, "method at offset 550");
#undef UNLHA_STATIC_ASSERT

/* Non-zero when function number `function` (UNLHA_FN_*) is implemented. */
UNLHA_EXPORT int UNLHA_API UnlhaQueryFunctionList(int function);

/* Non-zero when `path` is a readable LZH archive: an archive at the start of
 * the file, or a file starting with "MZ" whose archive starts within the
 * first 1 MiB. In such a file only a first header whose checksum (header
 * levels 0 and 1) or header CRC (levels 2 and 3) is right, and whose data
 * lies within the file, counts. `mode` is ignored. */
UNLHA_EXPORT int UNLHA_API UnlhaCheckArchive(const char* path, int mode);

/* Opens an archive for the find functions. `owner` and `mode` are ignored.
 * Returns NULL when the file cannot be opened or holds no archive. */
UNLHA_EXPORT HARC UNLHA_API UnlhaOpenArchive(void* owner, const char* path, uint32_t mode);

/* Starts a search: fills `record` (an ArchiveMemberInfo, may be NULL) with
 * the first member whose name matches `wildcard` and returns 0; returns -1
 * when none matches or the handle is NULL. When some member's name is
 * exactly `wildcard` (byte for byte), only members of that name match, so a
 * member is always found by its own name. Otherwise the wildcard rules:
 * "*" any characters (including "/"), "?" one character; a pattern ending
 * in ".*" also matches names without that extension; a pattern without
 * wildcards matches that member alone. ASCII letters compare
 * case-insensitively; "\" in the pattern stands for "/". NULL, "", "*" and
 * "*.*" match every member. */
UNLHA_EXPORT int UNLHA_API UnlhaFindFirst(HARC archive, const char* wildcard, void* record);

/* Next member matching the pattern of the last UnlhaFindFirst: 0 and the
 * record filled, or -1 when there is none. */
UNLHA_EXPORT int UNLHA_API UnlhaFindNext(HARC archive, void* record);

/* Closes the handle; NULL is harmless. Returns 0. */
UNLHA_EXPORT int UNLHA_API UnlhaCloseArchive(HARC archive);

/* DOS attribute bits (UNLHA_ATTR_*) of the member last found, -1 if none. */
UNLHA_EXPORT int UNLHA_API UnlhaGetAttribute(HARC archive);

/* Extracts one member into memory. `commandLine` is
 *     "archive path" "member name" [-iN]
 * (each part in double quotes, separated by one blank; inside the quotes
 * two double quotes in a row stand for one '"' of the path or name).
 * Unquoted tokens are accepted too; unquoted tokens starting with "-" are
 * switches. The member is the first whose name is exactly the name given,
 * and only when no member has that name, the first the wildcard rules of
 * UnlhaFindFirst match. Where names repeat, the switch -iN (N decimal)
 * names the member by its index N in archive order, counted from 0 over
 * the members a "*.*" search lists; its name must still be the one given,
 * or UNLHA_ERROR_NOT_FOUND. Other switches are ignored. At most `size` bytes are written to `buffer`; a member larger
 * than `size` yields its first `size` bytes and counts as success (its CRC
 * can then not be checked). A member extracted whole is checked against its
 * CRC-16. `*written` (when not NULL) receives the number of bytes written,
 * 0 on any failure; `*time` the member's modification time and
 * `*attributes` its DOS attribute bits (each when not NULL). Returns 0 or a
 * UNLHA_ERROR_* code. `owner` is ignored. */
UNLHA_EXPORT int UNLHA_API UnlhaExtractMem(void* owner, const char* commandLine, unsigned char* buffer,
                                           uint32_t size, time_t* time, uint16_t* attributes,
                                           uint32_t* written);

#ifdef __cplusplus
}
#endif

#endif /* UNLHA32_H */
