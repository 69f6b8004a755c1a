#pragma once
// For the tests only: a way to make a destination write fail part-way,
// where no small full file system can be mounted.
#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <functional>

namespace platform::testhook {

// File data is copied in pieces of this many bytes; cancel and progress are
// looked at between pieces.
extern const std::size_t copyPieceBytes;

// When set, called before each piece written to a destination file (the
// file's final path and the offset of the piece); a non-zero return is
// taken as the errno of a failed write. An empty function removes it.
using WriteFault = std::function<int(const QByteArray& destination, uint64_t offset)>;
void setWriteFault(WriteFault fault);

}  // namespace platform::testhook
