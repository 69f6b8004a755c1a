#include "core/settings/profiletext.h"

#include <QByteArrayView>

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool lineIsGood(QByteArrayView line)
{
    if (line.endsWith('\r'))
        line.chop(1);
    while (!line.isEmpty() && isBlank(line.front()))
        line = line.sliced(1);
    while (!line.isEmpty() && isBlank(line.back()))
        line.chop(1);
    if (line.isEmpty() || line.front() == ';' || line.front() == '#')
        return true;
    if (line.front() == '[')
        return line.size() >= 2 && line.back() == ']';
    const qsizetype eq = line.indexOf('=');
    if (eq <= 0)
        return false;
    // The key must hold something besides blanks.
    for (qsizetype i = 0; i < eq; ++i)
        if (!isBlank(line[i]))
            return true;
    return false;
}

}  // namespace

ProfileShape checkProfileText(const QByteArray& bytes, qint64 fileSize)
{
    if (fileSize > kMaxProfileBytes || bytes.size() > kMaxProfileBytes)
        return ProfileShape::TooLarge;
    QByteArrayView text(bytes);
    if (text.startsWith("\xEF\xBB\xBF"))
        text = text.sliced(3);
    // Nothing this program writes holds a NUL: one means the file is not text.
    if (!text.isValidUtf8() || text.contains('\0'))
        return ProfileShape::NotText;
    qsizetype start = 0;
    while (start <= text.size()) {
        qsizetype end = text.indexOf('\n', start);
        if (end < 0)
            end = text.size();
        if (!lineIsGood(text.sliced(start, end - start)))
            return ProfileShape::BadLine;
        start = end + 1;
    }
    return ProfileShape::Good;
}

std::optional<int> parseProfileInt(QStringView text)
{
    text = text.trimmed();
    bool negative = false;
    if (!text.isEmpty() && (text.front() == u'-' || text.front() == u'+')) {
        negative = text.front() == u'-';
        text = text.sliced(1);
    }
    if (text.isEmpty())
        return std::nullopt;
    qint64 value = 0;
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
        if (value > 0xFFFFFFFFLL)
            return std::nullopt;
    }
    if (negative) {
        if (value > 0x80000000LL)
            return std::nullopt;
        return static_cast<int>(-value);
    }
    return static_cast<int>(static_cast<uint32_t>(value));
}
