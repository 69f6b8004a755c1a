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

namespace {

QByteArray quoted(QByteArray text)
{
    return '"' + text.replace('"', "\"\"") + '"';
}

// Index in archive order of the occurrence of a member name; -1 when the
// archive has fewer members of that name.
long memberIndex(const QByteArray& nativeArchivePath, const QByteArray& member, int occurrence)
{
    auto& lib = archiveLibrary();
    if (!lib.loaded())
        return -1;
    HARC h = lib.UnlhaOpenArchive(nullptr, nativeArchivePath.constData(), 0x08000000);
    ArchiveMemberInfo record{};
    long index = -1;
    int seen = 0;
    if (lib.UnlhaFindFirst(h, "*.*", &record) != -1) {
        long i = 0;
        do {
            if (member == record.name() && seen++ == occurrence) {
                index = i;
                break;
            }
            ++i;
        } while (lib.UnlhaFindNext(h, &record) != -1);
    }
    lib.UnlhaCloseArchive(h);
    return index;
}

}  // namespace

QByteArray memberCommand(const QByteArray& nativeArchivePath, const QByteArray& member, int occurrence)
{
    QByteArray command = quoted(nativeArchivePath) + ' ' + quoted(member);
    if (occurrence > 0) {
        const long index = memberIndex(nativeArchivePath, member, occurrence);
        if (index >= 0)
            command += " -i" + QByteArray::number(static_cast<qlonglong>(index));
    }
    return command;
}

bool findMember(HARC archive, const QByteArray& member, int occurrence, ArchiveMemberInfo& info)
{
    // Compared here, byte for byte: a member may be called "*.*".
    auto& lib = archiveLibrary();
    if (!lib.loaded() || lib.UnlhaFindFirst(archive, "*.*", &info) == -1)
        return false;
    int seen = 0;
    do {
        if (member == info.name() && seen++ == occurrence)
            return true;
    } while (lib.UnlhaFindNext(archive, &info) != -1);
    return false;
}

}  // namespace platform
