#pragma once
// Reading a whole file on a thread of its own, a piece at a time, so a huge
// file never holds up the window and can be given up half-way.
#include <QByteArray>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

namespace platform {

class ReadFile;

class BackgroundRead {
public:
    // Each piece is handed to eachPiece (on the reading thread) right after it
    // is read, while it is still in the cache. The buffer is the whole file's
    // room; it belongs to the reader until the read has finished.
    using PieceFilter = std::function<void(char* piece, uint64_t length)>;
    // finished is called on the reading thread once the read has ended (not
    // when it was given up).
    BackgroundRead(std::unique_ptr<ReadFile> file, QByteArray buffer, PieceFilter eachPiece,
                   std::function<void()> finished = {});
    // Gives the read up and waits for the thread; the buffer is freed.
    ~BackgroundRead();
    BackgroundRead(const BackgroundRead&) = delete;
    BackgroundRead& operator=(const BackgroundRead&) = delete;

    uint64_t total() const { return total_; }
    uint64_t done() const { return done_.load(std::memory_order_relaxed); }
    bool finished() const { return finished_.load(std::memory_order_acquire); }
    // After finished(): the bytes read (fewer than total if the file shrank).
    QByteArray take();

private:
    void run();

    std::unique_ptr<ReadFile> file_;
    QByteArray buffer_;
    PieceFilter eachPiece_;
    std::function<void()> onFinished_;
    uint64_t total_;
    std::atomic<uint64_t> done_{0};
    std::atomic<bool> cancelled_{false};
    std::atomic<bool> finished_{false};
    std::thread thread_;
};

}  // namespace platform
