// libFuzzer harness for libunlha32: the input is taken as an archive file.
// It is listed with the find functions, and every member found (up to a
// limit) is extracted twice: a preview of 2000 bytes and a load of at most
// 1 MiB, as the program does. The library source is compiled into the
// harness, so the memory entry points of unlha_internal.h are used.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "unlha32.h"
#include "unlha_internal.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    HARC h = unlha_open_memory(data, size);
    ArchiveMemberInfo info;
    std::vector<std::string> names;

    // The find functions must cope with a handle that failed to open.
    int r = UnlhaFindFirst(h, "*.*", &info);
    while (r == 0 && names.size() < 64) {
        if (std::memchr(info.name, '\0', sizeof info.name) == nullptr) {
            __builtin_trap();  // the record name must always be terminated
        }
        names.emplace_back(info.name);
        (void)UnlhaGetAttribute(h);
        r = UnlhaFindNext(h, &info);
    }
    // A wildcard search over the same handle.
    if (UnlhaFindFirst(h, "*.t?t", &info) == 0) {
        (void)UnlhaFindNext(h, &info);
    }
    // A member listed is always found again by its own name (unless the name
    // is a pattern that lists every member, such as "*.*").
    auto listsAll = [](std::string n) {
        if (n.size() >= 3 && n.compare(n.size() - 2, 2, ".*") == 0) {
            n.resize(n.size() - 2);
        }
        return n.find_first_not_of('*') == std::string::npos;
    };
    if (!names.empty() && !listsAll(names.back())) {
        if (UnlhaFindFirst(h, names.back().c_str(), &info) != 0 || names.back() != info.name) {
            __builtin_trap();
        }
        (void)UnlhaFindNext(h, &info);
    }
    UnlhaCloseArchive(h);

    static std::vector<unsigned char> buffer(1u << 20);
    for (size_t i = 0; i < names.size() && i < 8; ++i) {
        uint32_t written = 12345;
        time_t t = 0;
        uint16_t attr = 0;
        int rc = unlha_extract_memory(data, size, names[i].c_str(), buffer.data(), 2000, &t, &attr, &written);
        if ((rc != 0 && written != 0) || written > 2000) {
            __builtin_trap();
        }
        written = 12345;
        rc = unlha_extract_memory(data, size, names[i].c_str(), buffer.data(), (uint32_t)buffer.size(), nullptr,
                                  nullptr, &written);
        if ((rc != 0 && written != 0) || written > buffer.size()) {
            __builtin_trap();
        }
    }
    return 0;
}
