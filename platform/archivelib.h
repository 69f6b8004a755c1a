#pragma once
// The archive library, bound at run time by the name "unlha32.dll". Its eight
// entry points are resolved by name; without the library archives are
// ordinary files.
#include <QByteArray>

#include <cstdint>
#include <ctime>

#include "platform/library.h"

namespace platform {

using HARC = void*;

// The 560-byte member record the two find functions fill. The program reads
// the original size (offset 0), the DOS date (offset 22) and the name (offset 26).
struct ArchiveMemberInfo {
    unsigned char bytes[560];
    uint32_t originalSize() const;
    uint16_t dosDate() const;
    const char* name() const;  // always NUL-terminated within the record
};

struct ArchiveLibrary {
    using OpenArchive = HARC (*)(void* owner, const char* path, uint32_t mode);
    using FindFirst = int (*)(HARC archive, const char* wildcard, void* record);
    using FindNext = int (*)(HARC archive, void* record);
    using CloseArchive = int (*)(HARC archive);
    using ExtractMem = int (*)(void* owner, const char* commandLine, unsigned char* buffer, uint32_t size,
                               std::time_t* time, uint16_t* attributes, uint32_t* written);
    using GetAttribute = int (*)(HARC archive);
    using QueryFunctionList = int (*)(int function);
    using CheckArchive = int (*)(const char* path, int mode);

    OpenArchive UnlhaOpenArchive = nullptr;
    FindFirst UnlhaFindFirst = nullptr;
    FindNext UnlhaFindNext = nullptr;
    CloseArchive UnlhaCloseArchive = nullptr;
    ExtractMem UnlhaExtractMem = nullptr;
    GetAttribute UnlhaGetAttribute = nullptr;
    QueryFunctionList UnlhaQueryFunctionList = nullptr;
    CheckArchive UnlhaCheckArchive = nullptr;

    // Loads the library and resolves the entry points in their fixed order.
    // A library that lacks one of them is not used.
    bool load();
    void unload();
    bool loaded() const { return module.isLoaded(); }

    DynamicLibrary module;
};

// Process-wide binding, alive from the view's creation to its destruction.
ArchiveLibrary& archiveLibrary();

// A member is named by its exact bytes. Where a name repeats in an archive,
// occurrence tells which of them is meant: 0 the first in archive order, 1
// the second, and so on.

// The extraction command for a member: the archive's native path and the
// member name, each in double quotes, a '"' inside either doubled. For a
// later occurrence of a repeated name the member's index in archive order
// follows as the switch -iN, so the library takes that one and not the first.
QByteArray memberCommand(const QByteArray& nativeArchivePath, const QByteArray& member, int occurrence);

// Finds the occurrence of the member in an open archive; the record and the
// library's attribute query then describe it. False when there is none.
bool findMember(HARC archive, const QByteArray& member, int occurrence, ArchiveMemberInfo& info);

}  // namespace platform
