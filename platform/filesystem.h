#pragma once
// Folder search, file status and reading, in the program's path form
// ("c:\home\me"). The path map of the drives turns them into native paths.
#include <QByteArray>

#include <cstdint>
#include <ctime>
#include <optional>
#include <vector>

#include "core/browse/listing.h"

namespace platform {

// The entries of a folder as the folder search reports them: "." and ".." in
// every folder except a drive root; a link to a folder counts as a folder.
// Nothing when the folder cannot be opened or read to its end.
std::optional<std::vector<DirEntry>> enumerate(const QByteArray& folder);

// Whether the folder search could start in the folder.
bool canList(const QByteArray& folder);

struct FileStatus {
    uint64_t size = 0;
    std::time_t mtime = 0;
    unsigned attributes = 0;  // R 0x01, H 0x02, S 0x04, directory 0x10, A 0x20
    bool isDir = false;
};
std::optional<FileStatus> fileStatus(const QByteArray& path);

// A file opened for reading.
class ReadFile {
public:
    explicit ReadFile(const QByteArray& path);
    ~ReadFile();
    ReadFile(const ReadFile&) = delete;
    ReadFile& operator=(const ReadFile&) = delete;
    bool isOpen() const { return fd_ >= 0; }
    // Reads up to n bytes, looping over short reads; returns the count read.
    uint64_t read(char* buf, uint64_t n);

private:
    int fd_ = -1;
};

// Asks the kernel to back a large buffer with huge pages before it is first
// written, so filling it takes a fraction of the page faults.
void adviseLargeBuffer(void* data, uint64_t size);

// Memory the program can still get, in bytes (what the machine has free, the
// address-space limit and the control group's limit, whichever is least).
uint64_t availableMemory();

}  // namespace platform
