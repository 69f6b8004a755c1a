#include "platform/backgroundread.h"

#include <algorithm>

#include "platform/filesystem.h"

namespace platform {

BackgroundRead::BackgroundRead(std::unique_ptr<ReadFile> file, QByteArray buffer, PieceFilter eachPiece,
                               std::function<void()> finished)
    : file_(std::move(file)), buffer_(std::move(buffer)), eachPiece_(std::move(eachPiece)), onFinished_(std::move(finished)),
      total_(static_cast<uint64_t>(buffer_.size()))
{
    thread_ = std::thread([this] { run(); });
}

BackgroundRead::~BackgroundRead()
{
    cancelled_.store(true, std::memory_order_relaxed);
    if (thread_.joinable())
        thread_.join();
}

void BackgroundRead::run()
{
    constexpr uint64_t kPiece = 4u << 20;
    char* data = buffer_.data();  // detached once, here, before any piece is written
    uint64_t done = 0;
    while (done < total_ && !cancelled_.load(std::memory_order_relaxed)) {
        const uint64_t want = std::min(kPiece, total_ - done);
        const uint64_t got = file_->read(data + done, want);
        if (eachPiece_)
            eachPiece_(data + done, got);
        done += got;
        done_.store(done, std::memory_order_relaxed);
        if (got < want)
            break;  // the file became shorter while it was read
    }
    file_.reset();
    finished_.store(true, std::memory_order_release);
    if (onFinished_ && !cancelled_.load(std::memory_order_relaxed))
        onFinished_();
}

QByteArray BackgroundRead::take()
{
    if (thread_.joinable())
        thread_.join();
    buffer_.truncate(static_cast<qsizetype>(done_.load()));
    return std::move(buffer_);
}

}  // namespace platform
