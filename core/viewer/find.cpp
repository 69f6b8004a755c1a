#include "core/viewer/find.h"

#include "core/viewer/cp932.h"
#include "core/viewer/textlayout.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

inline unsigned char asciiLower(unsigned char b) { return (b >= 'A' && b <= 'Z') ? b + 0x20 : b; }

// One unit of the pattern. A full-width letter keeps both trail bytes.
struct Unit {
    unsigned char first;
    unsigned char firstAlt;  // the other case of a single-byte letter, else first
    unsigned char second;    // trail byte (double-byte units only)
    unsigned char secondAlt;
    bool pair;
};

std::vector<Unit> parsePattern(const QByteArray& pattern)
{
    std::vector<Unit> units;
    const char* p = pattern.constData();
    const qsizetype n = pattern.size();
    for (qsizetype i = 0; i < n;) {
        const auto b = static_cast<unsigned char>(p[i]);
        if (cp932::charLength(p + i, n - i) == 2) {
            const auto t = static_cast<unsigned char>(p[i + 1]);
            unsigned char alt = t;
            if (b == 0x82 && t >= 0x60 && t <= 0x79)
                alt = t + 0x21;  // Ａ-Ｚ -> ａ-ｚ
            else if (b == 0x82 && t >= 0x81 && t <= 0x9A)
                alt = t - 0x21;  // ａ-ｚ -> Ａ-Ｚ
            units.push_back({b, b, t, alt, true});
            i += 2;
        } else {
            unsigned char alt = b;
            if (b >= 'A' && b <= 'Z')
                alt = b + 0x20;
            else if (b >= 'a' && b <= 'z')
                alt = b - 0x20;
            units.push_back({b, alt, 0, 0, false});
            i += 1;
        }
    }
    return units;
}

// True when the pattern's units match the text at pos (pos + length <= limit).
bool matchesAt(const unsigned char* t, qsizetype pos, const std::vector<Unit>& units)
{
    for (const Unit& u : units) {
        const unsigned char b = t[pos];
        if (b != u.first && b != u.firstAlt)
            return false;
        if (u.pair) {
            const unsigned char c = t[pos + 1];
            if (c != u.second && c != u.secondAlt)
                return false;
            pos += 2;
        } else {
            pos += 1;
        }
    }
    return true;
}

// How common a byte is in Japanese text, roughly: the search looks for the
// pattern's least common byte with memchr.
int commonness(unsigned char b)
{
    if (b == ' ' || b == '\r' || b == '\n' || b == 0x81 || b == 0x82 || b == 0x83)
        return 3;
    if ((b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || b == 0x88 || b == 0x89)
        return 2;
    return cp932::isLeadByte(b) ? 1 : 0;
}

}  // namespace

qint64 findText(const QByteArray& text, qint64 start, qint64 end, const QByteArray& pattern, qint64* foundEnd)
{
    const qint64 size = text.size();
    if (end < 0 || end > size)
        end = size;
    start = std::max<qint64>(start, 0);
    const qint64 plen = pattern.size();
    if (plen == 0 || start > end || end - start < plen)
        return -1;

    const std::vector<Unit> units = parsePattern(pattern);
    const auto* t = reinterpret_cast<const unsigned char*>(text.constData());
    const char* tc = text.constData();
    const bool endsWithLoneLead = !units.back().pair && cp932::isLeadByte(units.back().first);

    // The key: a byte of the pattern that is the same in both cases, the
    // rarer the better; when every byte is a letter, the first byte in both
    // of its cases.
    qint64 keyOffset = -1;
    int keyScore = 1 << 20;
    {
        qint64 off = 0;
        for (const Unit& u : units) {
            if (u.first == u.firstAlt && commonness(u.first) < keyScore) {
                keyOffset = off;
                keyScore = commonness(u.first);
            }
            if (u.pair && u.second == u.secondAlt && commonness(u.second) < keyScore) {
                keyOffset = off + 1;
                keyScore = commonness(u.second);
            }
            off += u.pair ? 2 : 1;
        }
    }
    const unsigned char keyA = keyOffset >= 0 ? static_cast<unsigned char>(pattern[keyOffset]) : units[0].first;
    const unsigned char keyB = keyOffset >= 0 ? keyA : units[0].firstAlt;
    if (keyOffset < 0)
        keyOffset = 0;

    // Candidates for the key lie in [start + keyOffset, end - plen + keyOffset].
    const qint64 lastStart = end - plen;
    qint64 scan = start + keyOffset;
    const qint64 scanEnd = lastStart + keyOffset + 1;
    qint64 nextA = -2;
    qint64 nextB = -2;
    auto locate = [&](unsigned char key, qint64 from) -> qint64 {
        if (from >= scanEnd)
            return -1;
        const void* hit = std::memchr(t + from, key, static_cast<size_t>(scanEnd - from));
        return hit ? static_cast<const unsigned char*>(hit) - t : -1;
    };
    while (scan < scanEnd) {
        if (nextA != -1 && nextA < scan)
            nextA = locate(keyA, scan);
        if (keyB != keyA && nextB != -1 && nextB < scan)
            nextB = locate(keyB, scan);
        qint64 hit = nextA;
        if (keyB != keyA && nextB >= 0 && (hit < 0 || nextB < hit))
            hit = nextB;
        if (hit < 0)
            return -1;
        const qint64 pos = hit - keyOffset;
        if (matchesAt(t, pos, units) && textlayout::isCharBoundary(tc, size, pos)
            && (!endsWithLoneLead || textlayout::isCharBoundary(tc, size, pos + plen))) {
            if (foundEnd)
                *foundEnd = pos + plen;
            return pos;
        }
        scan = hit + 1;
    }
    return -1;
}
