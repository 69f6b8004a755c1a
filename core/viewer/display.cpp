#include "core/viewer/display.h"

#include "core/viewer/encoding.h"

#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

inline bool isHidden(unsigned char c)
{
    return ((c < 0x20) & (c != 0x09) & (c != 0x0A) & (c != 0x0D)) | (c == 0x7F);
}

}  // namespace

char* SanitizeForDisplay(char* buf, size_t length)
{
    auto* p = reinterpret_cast<unsigned char*>(buf);
    size_t i = 0;
#ifdef __SSE2__
    // Sixteen bytes at a time: text rarely holds a control byte, so most
    // blocks are only looked at, and a block with one is mended byte by byte.
    const __m128i x1f = _mm_set1_epi8(0x1F), tab = _mm_set1_epi8(0x09), lf = _mm_set1_epi8(0x0A),
                  cr = _mm_set1_epi8(0x0D), del = _mm_set1_epi8(0x7F);
    for (; i + 16 <= length; i += 16) {
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const __m128i control = _mm_cmpeq_epi8(_mm_min_epu8(c, x1f), c);  // c <= 0x1F
        const __m128i kept = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(c, tab), _mm_cmpeq_epi8(c, lf)),
                                          _mm_cmpeq_epi8(c, cr));
        const __m128i hidden = _mm_or_si128(_mm_andnot_si128(kept, control), _mm_cmpeq_epi8(c, del));
        if (_mm_movemask_epi8(hidden) == 0)
            continue;
        for (size_t k = i; k < i + 16; ++k)
            if (isHidden(p[k]))
                p[k] = '^';
    }
#endif
    for (; i < length; ++i)
        if (isHidden(p[i]))
            p[i] = '^';
    buf[length] = '\0';
    return buf;
}

void DisplayFilter::operator()(char* piece, uint64_t length)
{
    if (m_done < 2 && m_done + length >= 2) {
        // The byte order mark decides, once its two bytes are in.
        const textenc::Encoding e = textenc::detect(piece - m_done, 2);
        m_utf16 = textenc::isUtf16(e);
        m_littleEndian = e == textenc::Encoding::Utf16LE;
    }
    if (m_utf16) {
        textenc::filterUtf16(m_littleEndian ? textenc::Encoding::Utf16LE : textenc::Encoding::Utf16BE, piece,
                             static_cast<qsizetype>(length), static_cast<qsizetype>(m_done));
    } else {
        // The filter's terminator would land on the next piece's first byte.
        const char next = piece[length];
        SanitizeForDisplay(piece, length);
        piece[length] = next;
    }
    m_done += length;
}

void SanitizeForDisplay(QByteArray& bytes)
{
    DisplayFilter filter;
    filter(bytes.data(), static_cast<uint64_t>(bytes.size()));
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
