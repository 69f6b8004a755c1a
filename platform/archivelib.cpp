#include "platform/archivelib.h"

#include <cstring>

namespace platform {

uint32_t ArchiveMemberInfo::originalSize() const
{
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 | static_cast<uint32_t>(bytes[2]) << 16
         | static_cast<uint32_t>(bytes[3]) << 24;
}

uint16_t ArchiveMemberInfo::dosDate() const
{
    return static_cast<uint16_t>(bytes[22] | bytes[23] << 8);
}

const char* ArchiveMemberInfo::name() const
{
    return reinterpret_cast<const char*>(bytes + 26);
}

bool ArchiveLibrary::load()
{
    if (!module.load(QStringLiteral("unlha32.dll")))
        return false;
    UnlhaOpenArchive = reinterpret_cast<OpenArchive>(module.resolve("UnlhaOpenArchive"));
    UnlhaFindFirst = reinterpret_cast<FindFirst>(module.resolve("UnlhaFindFirst"));
    UnlhaFindNext = reinterpret_cast<FindNext>(module.resolve("UnlhaFindNext"));
    UnlhaCloseArchive = reinterpret_cast<CloseArchive>(module.resolve("UnlhaCloseArchive"));
    UnlhaExtractMem = reinterpret_cast<ExtractMem>(module.resolve("UnlhaExtractMem"));
    UnlhaGetAttribute = reinterpret_cast<GetAttribute>(module.resolve("UnlhaGetAttribute"));
    UnlhaQueryFunctionList = reinterpret_cast<QueryFunctionList>(module.resolve("UnlhaQueryFunctionList"));
    UnlhaCheckArchive = reinterpret_cast<CheckArchive>(module.resolve("UnlhaCheckArchive"));
    // A call through a missing entry point would crash; such a library is not used.
    if (!UnlhaOpenArchive || !UnlhaFindFirst || !UnlhaFindNext || !UnlhaCloseArchive || !UnlhaExtractMem
        || !UnlhaGetAttribute || !UnlhaQueryFunctionList || !UnlhaCheckArchive) {
        unload();
        return false;
    }
    return true;
}

void ArchiveLibrary::unload()
{
    module.unload();
    UnlhaOpenArchive = nullptr;
    UnlhaFindFirst = nullptr;
    UnlhaFindNext = nullptr;
    UnlhaCloseArchive = nullptr;
    UnlhaExtractMem = nullptr;
    UnlhaGetAttribute = nullptr;
    UnlhaQueryFunctionList = nullptr;
    UnlhaCheckArchive = nullptr;
}

ArchiveLibrary& archiveLibrary()
{
    static ArchiveLibrary lib;
    return lib;
}

}  // namespace platform
