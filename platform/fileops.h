#pragma once
// Copy, move, trash and rename of one item (a file or a whole folder tree),
// done by the program itself, never through a shell or another program.
// Nothing is ever lost: a file is written under a temporary name and takes
// its real name only when complete; an item it replaces goes to the trash
// first; a failure or cancel part-way leaves the old item untouched.
//
// Every operation runs on the calling thread (the window runs them on a
// worker) and talks to the user only through the observer.
#include <QByteArray>
#include <QString>

#include <cstdint>

namespace platform {

struct FileOpProgress {
    uint64_t filesDone = 0, filesTotal = 0;
    uint64_t bytesDone = 0, bytesTotal = 0;
    QByteArray currentItem;  // native path of the item being worked on
};

enum class FailureChoice { Retry, Skip, Cancel };

struct FileOpFailure {
    QByteArray item;  // native path of the item that failed
    int error = 0;    // errno
    QString reason;   // the reason in Japanese, e.g. "ディスクの空き容量が不足しています"
};

// Called on the thread that runs the operation.
class FileOpObserver {
public:
    virtual ~FileOpObserver() = default;
    // Asked between files and between large pieces of one file.
    virtual bool cancelled() = 0;
    virtual void progress(const FileOpProgress&) = 0;
    // An item failed: the user chooses to retry it, skip it, or cancel the rest.
    virtual FailureChoice failed(const FileOpFailure&) = 0;
    // Sockets, FIFOs and devices are not copied; each one is told here.
    virtual void skipped(const QByteArray& item, const QString& why) = 0;
};

struct FileOpResult {
    bool ok = false;         // everything asked was done
    bool cancelled = false;  // the user cancelled
    // A refusal to show the user, in Japanese; empty when there is none.
    // Example: a folder copied into itself, a name that exists already.
    QString message;
};

// Copies source into destFolder under its own name. Into source's own folder
// it makes "NAME - コピー.EXT", then "NAME - コピー (2).EXT" …
FileOpResult copyItem(const QByteArray& source, const QByteArray& destFolder, FileOpObserver& observer);
// Moves source into destFolder: a rename on one file system, else a copy
// whose source is removed only once everything copied. Into its own folder: nothing.
FileOpResult moveItem(const QByteArray& source, const QByteArray& destFolder, FileOpObserver& observer);
// Puts the item into the freedesktop.org trash of its volume. When no trash
// can be used, nothing is deleted and the result says why.
FileOpResult trashItem(const QByteArray& path, FileOpObserver& observer);
// Gives source the path target (in the same or another existing folder).
// Never replaces an existing item.
FileOpResult renameItem(const QByteArray& source, const QByteArray& target, FileOpObserver& observer);

}  // namespace platform
