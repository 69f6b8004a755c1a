#include "core/browse/itemtext.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace items {

namespace {

inline unsigned char fold(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; }
inline bool isDigit(unsigned char c) { return c >= '0' && c <= '9'; }

}  // namespace

QByteArray sortKey(const QByteArray& t)
{
    // The folder's own entries lead; then letters without case, and digit runs
    // as a '0' marker, their length and their digits without leading zeros, so
    // comparing keys byte by byte compares numbers by value.
    QByteArray key;
    key.reserve(t.size() + 4);
    key.append(t == "<..>" ? '\x00' : t == "<.>" ? '\x01' : '\x02');
    const auto* p = reinterpret_cast<const unsigned char*>(t.constData());
    const qsizetype n = t.size();
    for (qsizetype i = 0; i < n;) {
        if (!isDigit(p[i])) {
            key.append(static_cast<char>(fold(p[i])));
            ++i;
            continue;
        }
        qsizetype s = i;
        while (s < n && p[s] == '0')
            ++s;
        qsizetype e = s;
        while (e < n && isDigit(p[e]))
            ++e;
        const qsizetype len = std::min<qsizetype>(e - s, 0xFFFF);
        key.append('0').append(static_cast<char>(len >> 8)).append(static_cast<char>(len & 0xFF));
        key.append(t.constData() + s, e - s);
        i = e;
    }
    return key;
}

int compare(const QByteArray& a, const QByteArray& b)
{
    const int c = sortKey(a).compare(sortKey(b));
    if (c != 0)
        return c < 0 ? -1 : 1;
    // Equal without case and leading zeros: the raw bytes decide, so the order is total.
    return a < b ? -1 : (b < a ? 1 : 0);
}

std::vector<size_t> sortOrder(const std::vector<QByteArray>& v)
{
    std::vector<std::pair<QByteArray, size_t>> keyed;
    keyed.reserve(v.size());
    for (size_t i = 0; i < v.size(); ++i)
        keyed.emplace_back(sortKey(v[i]), i);
    std::sort(keyed.begin(), keyed.end(), [&v](const auto& x, const auto& y) {
        const int c = x.first.compare(y.first);
        return c != 0 ? c < 0 : v[x.second] < v[y.second];
    });
    std::vector<size_t> order;
    order.reserve(v.size());
    for (const auto& k : keyed)
        order.push_back(k.second);
    return order;
}

void sortItems(std::vector<QByteArray>& v)
{
    std::vector<QByteArray> out;
    out.reserve(v.size());
    for (size_t i : sortOrder(v))
        out.push_back(std::move(v[i]));
    v = std::move(out);
}

QString displayText(const QByteArray& utf8)
{
    QString s = QString::fromUtf8(utf8);
    for (QChar& c : s) {
        const char16_t u = c.unicode();
        if (u < 0x20)
            c = QChar(char16_t(0x2400 + u));  // ␀ … ␟
        else if (u == 0x7F)
            c = QChar(char16_t(0x2421));      // ␡
        else if (u >= 0x80 && u < 0xA0)
            c = QChar(char16_t(0xFFFD));
        else if (u == 0x2028 || u == 0x2029)
            c = QChar(char16_t(0x21B5));      // ↵: Unicode line and paragraph separators
    }
    return s;
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
