#pragma once
// What a profile file may look like, and how its integers are read.
#include <QByteArray>
#include <QStringView>

#include <optional>

// A profile larger than this is not a profile.
inline constexpr qint64 kMaxProfileBytes = qint64(1) << 20;

enum class ProfileShape {
    Good,
    TooLarge,  // over kMaxProfileBytes
    NotText,   // invalid UTF-8, or a NUL byte
    BadLine,   // a line that is not blank, a comment, a [section] or key=value
};

// Checks the whole file. fileSize is the size on disk (bytes may hold only its start).
ProfileShape checkProfileText(const QByteArray& bytes, qint64 fileSize);

// A decimal integer: optional sign, digits, blanks around. Values up to
// 4294967295 wrap to 32 bits as a DWORD written unsigned does; anything else
// (hex, octal prefixes, words, out of range) is no integer.
std::optional<int> parseProfileInt(QStringView text);
