#include "core/browse/itemtext.h"

#include <cstring>

namespace items {

namespace {

int specialRank(const QByteArray& t)
{
    if (t == "<..>")
        return 0;
    if (t == "<.>")
        return 1;
    return 2;
}

inline unsigned char fold(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; }
inline bool isDigit(unsigned char c) { return c >= '0' && c <= '9'; }

int naturalCompare(const unsigned char* a, qsizetype na, const unsigned char* b, qsizetype nb)
{
    qsizetype i = 0, j = 0;
    while (i < na && j < nb) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            qsizetype si = i, sj = j;
            while (si < na && a[si] == '0')
                ++si;
            while (sj < nb && b[sj] == '0')
                ++sj;
            qsizetype ei = si, ej = sj;
            while (ei < na && isDigit(a[ei]))
                ++ei;
            while (ej < nb && isDigit(b[ej]))
                ++ej;
            if (ei - si != ej - sj)
                return (ei - si) < (ej - sj) ? -1 : 1;
            int c = std::memcmp(a + si, b + sj, static_cast<size_t>(ei - si));
            if (c != 0)
                return c < 0 ? -1 : 1;
            i = ei;
            j = ej;
            continue;
        }
        unsigned char ca = fold(a[i]), cb = fold(b[j]);
        if (ca != cb)
            return ca < cb ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < na)
        return 1;
    if (j < nb)
        return -1;
    return 0;
}

}  // namespace

int compare(const QByteArray& a, const QByteArray& b)
{
    int ra = specialRank(a), rb = specialRank(b);
    if (ra != rb)
        return ra < rb ? -1 : 1;
    int c = naturalCompare(reinterpret_cast<const unsigned char*>(a.constData()), a.size(),
                           reinterpret_cast<const unsigned char*>(b.constData()), b.size());
    if (c != 0)
        return c;
    return a < b ? -1 : (b < a ? 1 : 0);
}

int sjisWidth(const QByteArray& utf8)
{
    int width = 0;
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.constData());
    const qsizetype n = utf8.size();
    for (qsizetype i = 0; i < n;) {
        unsigned char c = p[i];
        int len = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
        bool ok = len > 0 && i + len <= n;
        for (int k = 1; ok && k < len; ++k)
            ok = (p[i + k] & 0xC0) == 0x80;
        if (!ok) {  // a stray byte shows as one placeholder cell
            width += 1;
            i += 1;
            continue;
        }
        if (len == 1) {
            width += 1;
        } else {
            char32_t cp = len == 2 ? ((c & 0x1F) << 6) | (p[i + 1] & 0x3F)
                        : len == 3 ? ((c & 0x0F) << 12) | ((p[i + 1] & 0x3F) << 6) | (p[i + 2] & 0x3F)
                                   : ((c & 0x07) << 18) | ((p[i + 1] & 0x3F) << 12) | ((p[i + 2] & 0x3F) << 6) | (p[i + 3] & 0x3F);
            width += (cp >= 0xFF61 && cp <= 0xFF9F) ? 1 : 2;  // half-width katakana is one byte in Shift-JIS
        }
        i += len;
    }
    return width;
}

}  // namespace items
