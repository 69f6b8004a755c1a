#pragma once
// The size of a folder tree: the sum of the sizes of every file below it,
// walked by a small pool of threads.
#include <QByteArray>

#include <atomic>
#include <cstdint>

namespace platform {

// Shared between the walk's threads and whoever watches it: the running
// totals, and the flag that stops the walk.
struct FolderSizeProgress {
    std::atomic<uint64_t> files{0};
    std::atomic<uint64_t> bytes{0};
    std::atomic<bool> cancel{false};
};

// Sums the sizes (st_size) of all entries below a native folder that are not
// folders, and returns the total; progress carries the same totals while the
// walk runs. Only "." and ".." are skipped. Symbolic links below the folder
// are not followed and add nothing; folders of another file system mounted
// below it are not entered; a folder that cannot be read adds 0. A file with
// several hard links counts once for each name. Runs on the calling thread
// and threads - 1 more (0: one per core). When progress.cancel is set the
// walk stops soon and returns what it has summed so far.
uint64_t folderSize(const QByteArray& nativeFolder, FolderSizeProgress& progress, unsigned threads = 0);

}  // namespace platform
