#include "core/viewer/find.h"

#include "core/viewer/cp932.h"
#include "core/viewer/textlayout.h"

#include <QList>
#include <QString>

#include <algorithm>
#include <array>
#include <cstring>
#include <unordered_map>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

// One character of the pattern with every form that matches it: one or two
// letters of the same case-less identity, four for a Roman numeral.
struct Unit {
    int len = 1;    // bytes per form
    int count = 1;  // forms
    std::array<std::array<unsigned char, 2>, 4> forms{};
};

void addForm(Unit& u, unsigned char lead, unsigned char trail)
{
    u.forms[u.count++] = {lead, trail};
}

// The trail byte of the n-th character of a row: the trail bytes run from
// 0x40 and skip 0x7F.
unsigned char trailAt(int n) { return static_cast<unsigned char>(n < 0x3F ? 0x40 + n : 0x41 + n); }
int trailIndex(unsigned char t) { return t < 0x7F ? t - 0x40 : t - 0x41; }

Unit unitFor(const unsigned char* p, int len)
{
    Unit u;
    u.len = len;
    u.forms[0] = {p[0], len == 2 ? p[1] : static_cast<unsigned char>(0)};
    const unsigned char b = p[0];
    if (len == 1) {
        if (b >= 'A' && b <= 'Z')
            addForm(u, b + 0x20, 0);
        else if (b >= 'a' && b <= 'z')
            addForm(u, b - 0x20, 0);
        return u;
    }
    const unsigned char t = p[1];
    if (b == 0x82 && t >= 0x60 && t <= 0x79) {  // full-width Latin
        addForm(u, b, t + 0x21);
    } else if (b == 0x82 && t >= 0x81 && t <= 0x9A) {
        addForm(u, b, t - 0x21);
    } else if (b == 0x83 && t >= 0x9F && t <= 0xB6) {  // Greek
        addForm(u, b, t + 0x20);
    } else if (b == 0x83 && t >= 0xBF && t <= 0xD6) {
        addForm(u, b, t - 0x20);
    } else if (b == 0x84 && t >= 0x40 && t <= 0x60) {  // Cyrillic: the lower case row skips 0x7F
        addForm(u, b, trailAt(trailIndex(t) + 0x30));
    } else if (b == 0x84 && t >= 0x70 && t <= 0x91 && t != 0x7F) {
        addForm(u, b, trailAt(trailIndex(t) - 0x30));
    } else {
        // Roman numerals: Ⅰ-Ⅹ (NEC row, IBM row), ⅰ-ⅹ (NEC-selected IBM row, IBM row).
        int n = -1;
        if (b == 0x87 && t >= 0x54 && t <= 0x5D)
            n = t - 0x54;
        else if (b == 0xFA && t >= 0x4A && t <= 0x53)
            n = t - 0x4A;
        else if (b == 0xEE && t >= 0xEF && t <= 0xF8)
            n = t - 0xEF;
        else if (b == 0xFA && t >= 0x40 && t <= 0x49)
            n = t - 0x40;
        if (n >= 0) {
            u.count = 0;
            addForm(u, 0x87, 0x54 + n);
            addForm(u, 0xFA, 0x4A + n);
            addForm(u, 0xEE, 0xEF + n);
            addForm(u, 0xFA, 0x40 + n);
        }
    }
    return u;
}

std::vector<Unit> parsePattern(const QByteArray& pattern)
{
    std::vector<Unit> units;
    const auto* p = reinterpret_cast<const unsigned char*>(pattern.constData());
    const qsizetype n = pattern.size();
    for (qsizetype i = 0; i < n;) {
        const int len = cp932::charLength(pattern.constData() + i, n - i);
        units.push_back(unitFor(p + i, len));
        i += len;
    }
    return units;
}

// True when the pattern's units match the text at pos (the whole pattern lies
// inside the text).
bool matchesAt(const unsigned char* t, qsizetype pos, const std::vector<Unit>& units)
{
    for (const Unit& u : units) {
        bool any = false;
        for (int k = 0; k < u.count && !any; ++k)
            any = t[pos] == u.forms[k][0] && (u.len == 1 || t[pos + 1] == u.forms[k][1]);
        if (!any)
            return false;
        pos += u.len;
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

// The key: one byte offset of the pattern and the values its byte takes in
// the forms of its unit. Fewest values first, then the least common.
struct Key {
    qint64 offset = 0;
    int count = 0;
    std::array<unsigned char, 4> bytes{};
};

Key chooseKey(const std::vector<Unit>& units)
{
    Key best;
    int bestScore = 1 << 20;
    qint64 off = 0;
    for (const Unit& u : units) {
        for (int i = 0; i < u.len; ++i) {
            Key k;
            k.offset = off + i;
            int worst = 0;
            for (int f = 0; f < u.count; ++f) {
                const unsigned char b = u.forms[f][i];
                if (std::find(k.bytes.begin(), k.bytes.begin() + k.count, b) == k.bytes.begin() + k.count)
                    k.bytes[k.count++] = b;
                worst = std::max(worst, commonness(b));
            }
            const int score = k.count * 16 + worst;
            if (score < bestScore) {
                best = k;
                bestScore = score;
            }
        }
        off += u.len;
    }
    return best;
}

// The first position h in [from, to) with h % 2 == parity whose byte is one
// of the key's bytes, or to.
qint64 firstKeyAtParity(const unsigned char* t, qint64 from, qint64 to, const Key& key, int parity)
{
    qint64 i = from;
#ifdef __SSE2__
    while (to - i >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + i));
        __m128i eq = _mm_cmpeq_epi8(v, _mm_set1_epi8(char(key.bytes[0])));
        for (int k = 1; k < key.count; ++k)
            eq = _mm_or_si128(eq, _mm_cmpeq_epi8(v, _mm_set1_epi8(char(key.bytes[k]))));
        const unsigned keep = (i % 2 == parity) ? 0x5555u : 0xAAAAu;
        const unsigned m = unsigned(_mm_movemask_epi8(eq)) & keep;
        if (m)
            return i + __builtin_ctz(m);
        i += 16;
    }
#endif
    if (i % 2 != parity)
        ++i;
    for (; i < to; i += 2) {
        if (std::find(key.bytes.begin(), key.bytes.begin() + key.count, t[i]) != key.bytes.begin() + key.count)
            return i;
    }
    return to;
}

// --- Unicode texts ------------------------------------------------------------

// Every character that folds to a given one (other than itself), worked out
// once over the whole code space.
const std::unordered_multimap<char32_t, char32_t>& foldSources()
{
    static const std::unordered_multimap<char32_t, char32_t> sources = [] {
        std::unordered_multimap<char32_t, char32_t> m;
        for (char32_t c = 0; c < 0x110000; ++c) {
            if (c >= 0xD800 && c <= 0xDFFF)
                continue;
            const char32_t f = QChar::toCaseFolded(c);
            if (f != c)
                m.emplace(f, c);
        }
        return m;
    }();
    return sources;
}

// One character of the pattern: its folded value and the encoded forms of
// every character that folds to the same value.
struct UChar {
    char32_t folded = 0;
    std::vector<QByteArray> forms;
    bool fixedLength = true;  // all forms have the same byte length
};

std::vector<UChar> parseUnicodePattern(const QByteArray& pattern, textenc::Encoding enc)
{
    const auto& sources = foldSources();
    std::vector<UChar> out;
    const QList<uint> cps = textenc::toUnicode(enc, pattern.constData(), pattern.size()).toUcs4();
    for (const uint cp : cps) {
        UChar u;
        u.folded = QChar::toCaseFolded(char32_t(cp));
        std::vector<char32_t> members{u.folded};
        const auto range = sources.equal_range(u.folded);
        for (auto it = range.first; it != range.second; ++it)
            members.push_back(it->second);
        for (const char32_t m : members) {
            const char32_t one[1] = {m};
            u.forms.push_back(textenc::fromUnicode(enc, QString::fromUcs4(one, 1)));
            u.fixedLength = u.fixedLength && u.forms.back().size() == u.forms.front().size();
        }
        out.push_back(std::move(u));
    }
    return out;
}

// The end of the match of the pattern at the boundary pos, or -1.
qint64 unicodeMatchAt(const char* t, qint64 size, qint64 end, qint64 pos, const std::vector<UChar>& chars,
                      textenc::Encoding enc)
{
    for (const UChar& u : chars) {
        if (pos >= end)
            return -1;
        const int len = textenc::charLength(enc, t, size, pos);
        if (pos + len > end)
            return -1;
        const char32_t c = textenc::decodeAt(enc, t, pos, len);
        if (!c || QChar::toCaseFolded(c) != u.folded)
            return -1;
        pos += len;
    }
    return pos;
}

qint64 findUnicode(const QByteArray& text, qint64 start, qint64 end, const QByteArray& pattern, qint64* foundEnd,
                   textenc::Encoding enc)
{
    const std::vector<UChar> chars = parseUnicodePattern(pattern, enc);
    if (chars.empty())
        return -1;
    // The key: bytes looked for with memmem, at a fixed distance from the
    // match's start, so the first key found belongs to the first match. Best
    // is the longest run of characters that have one form only (the whole
    // pattern, for Japanese words); else the character with the fewest forms.
    // Only characters after fixed-length ones stand at a fixed distance.
    std::vector<QByteArray> keyForms;
    qint64 keyOffset = 0;
    {
        qint64 off = 0;
        qint64 runStart = -1;
        QByteArray run;
        qint64 bestRunLength = 0;
        int bestScore = 1 << 20;
        for (size_t i = 0; i < chars.size(); ++i) {
            const UChar& u = chars[i];
            if (u.forms.size() == 1) {
                if (runStart < 0) {
                    runStart = off;
                    run.clear();
                }
                run += u.forms.front();
                if (run.size() > bestRunLength) {
                    bestRunLength = run.size();
                    keyForms.assign(1, run);
                    keyOffset = runStart;
                }
            } else {
                runStart = -1;
                const int score = int(u.forms.size()) * 8 - int(u.forms.front().size());
                if (bestRunLength == 0 && score < bestScore) {
                    bestScore = score;
                    keyForms = u.forms;
                    keyOffset = off;
                }
            }
            if (!u.fixedLength)
                break;
            off += u.forms.front().size();
        }
    }

    const char* t = text.constData();
    const qint64 size = text.size();
    std::vector<qint64> next(keyForms.size(), -2);  // -2: not looked for yet, -1: none left
    auto locate = [&](const QByteArray& form, qint64 from) -> qint64 {
        if (from >= end)
            return -1;
        const void* hit = memmem(t + from, static_cast<size_t>(end - from), form.constData(),
                                 static_cast<size_t>(form.size()));
        return hit ? static_cast<const char*>(hit) - t : -1;
    };
    qint64 scan = start + keyOffset;
    while (scan < end) {
        qint64 hit = -1;
        for (size_t k = 0; k < keyForms.size(); ++k) {
            if (next[k] != -1 && next[k] < scan)
                next[k] = locate(keyForms[k], scan);
            if (next[k] >= 0 && (hit < 0 || next[k] < hit))
                hit = next[k];
        }
        if (hit < 0)
            return -1;
        scan = hit + 1;
        const qint64 pos = hit - keyOffset;
        if (!textenc::isBoundary(enc, t, size, pos))
            continue;
        const qint64 matchEnd = unicodeMatchAt(t, size, end, pos, chars, enc);
        if (matchEnd >= 0) {
            if (foundEnd)
                *foundEnd = matchEnd;
            return pos;
        }
    }
    return -1;
}

}  // namespace

qint64 findText(const QByteArray& text, qint64 start, qint64 end, const QByteArray& pattern, qint64* foundEnd,
                const textlayout::CharIndex* chars)
{
    const qint64 size = text.size();
    if (end < 0 || end > size)
        end = size;
    start = std::max<qint64>(start, 0);
    const qint64 plen = pattern.size();
    if (plen == 0 || start > end)
        return -1;
    if (chars && chars->encoding() != textenc::Encoding::Cp932)
        return findUnicode(text, start, end, pattern, foundEnd, chars->encoding());
    if (end - start < plen)
        return -1;

    textlayout::CharIndex ownIndex;
    if (!chars) {
        ownIndex.setText(text.constData(), size);
        chars = &ownIndex;
    }
    const std::vector<Unit> units = parsePattern(pattern);
    const auto* t = reinterpret_cast<const unsigned char*>(text.constData());
    const char* tc = text.constData();
    const bool endsWithLoneLead = units.back().len == 1 && cp932::isLeadByte(units.back().forms[0][0]);
    const Key key = chooseKey(units);

    auto matchAt = [&](qint64 pos) {
        // pos is known to be a boundary: the end is checked from there.
        if (!matchesAt(t, pos, units))
            return false;
        return !endsWithLoneLead || textlayout::isCharBoundaryAfter(tc, size, pos, pos + plen);
    };

    // Candidates for the key lie in [start + offset, end - plen + offset].
    const qint64 lastStart = end - plen;
    qint64 scan = start + key.offset;
    const qint64 scanEnd = lastStart + key.offset + 1;
    std::array<qint64, 4> next;
    next.fill(-2);  // -2: not looked for yet, -1: none left
    auto locate = [&](unsigned char b, qint64 from) -> qint64 {
        if (from >= scanEnd)
            return -1;
        const void* hit = std::memchr(t + from, b, static_cast<size_t>(scanEnd - from));
        return hit ? static_cast<const unsigned char*>(hit) - t : -1;
    };
    while (scan < scanEnd) {
        qint64 hit = -1;
        for (int k = 0; k < key.count; ++k) {
            if (next[k] != -1 && next[k] < scan)
                next[k] = locate(key.bytes[k], scan);
            if (next[k] >= 0 && (hit < 0 || next[k] < hit))
                hit = next[k];
        }
        if (hit < 0)
            return -1;
        const qint64 pos = hit - key.offset;
        scan = hit + 1;
        if (!matchesAt(t, pos, units))
            continue;
        if (chars->isCharBoundary(pos)) {
            if (matchAt(pos)) {
                if (foundEnd)
                    *foundEnd = pos + plen;
                return pos;
            }
            continue;
        }
        // pos is the second byte of a pair inside a run of lead bytes. Over
        // the rest of the run the characters are every other byte from
        // pos + 1: look only at those, without asking about each.
        const qint64 runEnd = chars->leadRunEnd(pos, lastStart + 1);
        const int parity = int((pos + 1 + key.offset) % 2);
        const qint64 to = runEnd + key.offset;
        for (qint64 h = firstKeyAtParity(t, pos + 1 + key.offset, to, key, parity); h < to;
             h = firstKeyAtParity(t, h + 2, to, key, parity)) {
            if (matchAt(h - key.offset)) {
                if (foundEnd)
                    *foundEnd = h - key.offset + plen;
                return h - key.offset;
            }
        }
        scan = std::max(scan, to);
    }
    return -1;
}
