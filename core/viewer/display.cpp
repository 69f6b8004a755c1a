#include "core/viewer/display.h"

#include <vector>

char* SanitizeForDisplay(char* buf, size_t length)
{
    // Branch-free, so the compiler can run it over many bytes at once.
    auto* p = reinterpret_cast<unsigned char*>(buf);
    for (size_t i = 0; i < length; ++i) {
        const unsigned char c = p[i];
        const bool bad = ((c < 0x20) & (c != 0x09) & (c != 0x0A) & (c != 0x0D)) | (c == 0x7F);
        p[i] = bad ? static_cast<unsigned char>('^') : c;
    }
    buf[length] = '\0';
    return buf;
}

void SanitizeForDisplay(QByteArray& bytes)
{
    // QByteArray keeps a NUL behind its data, so the filter's terminator has room.
    SanitizeForDisplay(bytes.data(), static_cast<size_t>(bytes.size()));
}

QString FormatGroupedNumber(uint64_t value)
{
    std::vector<unsigned> groups;
    do {
        groups.push_back(static_cast<unsigned>(value % 1000));
        value /= 1000;
    } while (value != 0);
    QString out = QString::number(groups.back());
    for (size_t i = groups.size() - 1; i-- > 0;)
        out += QStringLiteral(",%1").arg(groups[i], 3, 10, QLatin1Char('0'));
    return out;
}

QString localDateText(std::time_t t)
{
    std::tm tm{};
    if (!localtime_r(&t, &tm))
        return QString();
    return QStringLiteral("%1.%2.%3").arg(tm.tm_year + 1900).arg(tm.tm_mon + 1).arg(tm.tm_mday);
}

QString dosDateText(uint16_t d)
{
    return QStringLiteral("%1.%2.%3").arg((d >> 9) + 1980).arg((d >> 5) & 0x0F).arg(d & 0x1F);
}

QString attributeLetters(unsigned a)
{
    QString s;
    if (a & AttrReadOnly)
        s += QLatin1Char('R');
    if (a & AttrHidden)
        s += QLatin1Char('H');
    if (a & AttrSystem)
        s += QLatin1Char('S');
    if (a & AttrArchive)
        s += QLatin1Char('A');
    return s;
}
