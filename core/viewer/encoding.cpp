#include "core/viewer/encoding.h"

#include "core/viewer/cp932.h"

#include <algorithm>

namespace textenc {
namespace {

inline unsigned char byteAt(const char* text, qsizetype pos) { return static_cast<unsigned char>(text[pos]); }
inline bool isContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }
inline bool isHighSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
inline bool isLowSurrogate(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// For a UTF-8 lead byte: the sequence's length and the range its second byte
// must fall in (the later bytes are plain continuation bytes); 0 when b
// leads no sequence.
struct Lead {
    int length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
};

inline Lead leadOf(unsigned char b)
{
    if (b >= 0xC2 && b <= 0xDF)
        return {2, 0x80, 0xBF};
    if (b == 0xE0)
        return {3, 0xA0, 0xBF};
    if (b == 0xED)
        return {3, 0x80, 0x9F};  // no surrogates
    if (b >= 0xE1 && b <= 0xEF)
        return {3, 0x80, 0xBF};
    if (b == 0xF0)
        return {4, 0x90, 0xBF};
    if (b >= 0xF1 && b <= 0xF3)
        return {4, 0x80, 0xBF};
    if (b == 0xF4)
        return {4, 0x80, 0x8F};  // nothing past U+10FFFF
    return {};
}

// How many bytes from p (at most avail) are a well-formed start of the
// sequence that p leads: the whole length when complete, less when avail
// cuts it, 0 when it is broken or p leads none.
inline int validPrefix(const unsigned char* p, qsizetype avail, int* length)
{
    const Lead lead = leadOf(p[0]);
    *length = lead.length;
    if (!lead.length)
        return 0;
    const int have = int(std::min<qsizetype>(avail, lead.length));
    if (have >= 2 && (p[1] < lead.low || p[1] > lead.high))
        return 0;
    for (int k = 2; k < have; ++k)
        if (!isContinuation(p[k]))
            return 0;
    return have;
}

}  // namespace

int utf8SequenceLength(const unsigned char* p, qsizetype avail)
{
    int length = 0;
    const int have = validPrefix(p, avail, &length);
    return have == length ? length : 0;
}

Encoding detect(const char* text, qsizetype size)
{
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    if (size >= 2 && p[0] == 0xFF && p[1] == 0xFE)
        return Encoding::Utf16LE;
    if (size >= 2 && p[0] == 0xFE && p[1] == 0xFF)
        return Encoding::Utf16BE;
    if (size >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF)
        return Encoding::Utf8;
    const qsizetype limit = std::min(size, kDetectLimit);
    bool multiByte = false;
    qsizetype i = 0;
    while (i < limit) {
        if (p[i] < 0x80) {
            ++i;
            continue;
        }
        int length = 0;
        const int have = validPrefix(p + i, size - i, &length);
        // Only the end of the given bytes may cut a sequence short.
        if (have == 0 || (have < length && i + have < size))
            return Encoding::Cp932;
        multiByte = true;
        i += have;
    }
    return multiByte ? Encoding::Utf8 : Encoding::Cp932;
}

int bomLength(Encoding e, const char* text, qsizetype size)
{
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    switch (e) {
    case Encoding::Utf8: return size >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF ? 3 : 0;
    case Encoding::Utf16LE: return size >= 2 && p[0] == 0xFF && p[1] == 0xFE ? 2 : 0;
    case Encoding::Utf16BE: return size >= 2 && p[0] == 0xFE && p[1] == 0xFF ? 2 : 0;
    case Encoding::Cp932: break;
    }
    return 0;
}

bool isBoundary(Encoding e, const char* text, qsizetype size, qsizetype pos)
{
    if (pos <= 0 || pos >= size)
        return true;
    if (e == Encoding::Utf8) {
        // The inside of a sequence is continuation bytes only, and no valid
        // sequence starts inside another one.
        if (!isContinuation(byteAt(text, pos)))
            return true;
        for (qsizetype back = 1; back <= 3 && back <= pos; ++back) {
            const auto* p = reinterpret_cast<const unsigned char*>(text + pos - back);
            if (utf8SequenceLength(p, size - (pos - back)) > back)
                return false;
        }
        return true;
    }
    if (isUtf16(e)) {
        if (pos % 2)
            return false;
        return !(pos + 2 <= size && isLowSurrogate(unitAt(text, pos, e)) && isHighSurrogate(unitAt(text, pos - 2, e)));
    }
    return true;
}

int charLength(Encoding e, const char* text, qsizetype size, qsizetype pos)
{
    switch (e) {
    case Encoding::Cp932: return cp932::charLength(text + pos, size - pos);
    case Encoding::Utf8: {
        if (byteAt(text, pos) < 0x80)
            return 1;
        const int n = utf8SequenceLength(reinterpret_cast<const unsigned char*>(text + pos), size - pos);
        return n ? n : 1;
    }
    case Encoding::Utf16LE:
    case Encoding::Utf16BE:
        if (pos + 2 > size)
            return 1;
        if (isHighSurrogate(unitAt(text, pos, e)) && pos + 4 <= size && isLowSurrogate(unitAt(text, pos + 2, e)))
            return 4;
        return 2;
    }
    return 1;
}

char32_t decodeAt(Encoding e, const char* text, qsizetype pos, int len)
{
    const unsigned char b = byteAt(text, pos);
    switch (e) {
    case Encoding::Cp932:
        return len == 2 ? cp932::decodePair(b, byteAt(text, pos + 1)) : cp932::decodeSingle(b);
    case Encoding::Utf8:
        switch (len) {
        case 1: return b < 0x80 ? b : 0;
        case 2: return char32_t(b & 0x1F) << 6 | (byteAt(text, pos + 1) & 0x3F);
        case 3: return char32_t(b & 0x0F) << 12 | char32_t(byteAt(text, pos + 1) & 0x3F) << 6
                       | (byteAt(text, pos + 2) & 0x3F);
        default:
            return char32_t(b & 0x07) << 18 | char32_t(byteAt(text, pos + 1) & 0x3F) << 12
                   | char32_t(byteAt(text, pos + 2) & 0x3F) << 6 | (byteAt(text, pos + 3) & 0x3F);
        }
    case Encoding::Utf16LE:
    case Encoding::Utf16BE: {
        if (len < 2)
            return 0;
        const char16_t u = unitAt(text, pos, e);
        if (len == 4)
            return 0x10000 + (char32_t(u - 0xD800) << 10) + (unitAt(text, pos + 2, e) - 0xDC00);
        return isHighSurrogate(u) || isLowSurrogate(u) ? 0 : u;
    }
    }
    return 0;
}

QString toUnicode(Encoding e, const char* text, qsizetype size)
{
    if (e == Encoding::Cp932)
        return cp932::toUnicode(text, size);
    QString out;
    out.reserve(isUtf16(e) ? size / 2 + 1 : size);
    for (qsizetype pos = 0; pos < size;) {
        const int len = charLength(e, text, size, pos);
        const char32_t c = decodeAt(e, text, pos, len);
        const bool nul = c == 0 && (isUtf16(e) ? len == 2 && unitAt(text, pos, e) == 0 : byteAt(text, pos) == 0);
        if (c || nul) {
            const char32_t one[1] = {c};
            out.append(QString::fromUcs4(one, 1));
        } else {
            out.append(QString(len, QChar(cp932::kPlaceholder)));
        }
        pos += len;
    }
    return out;
}

QByteArray fromUnicode(Encoding e, const QString& text, bool* complete)
{
    switch (e) {
    case Encoding::Cp932: return cp932::fromUnicode(text, complete);
    case Encoding::Utf8:
        if (complete)
            *complete = true;
        return text.toUtf8();
    case Encoding::Utf16LE:
    case Encoding::Utf16BE: {
        if (complete)
            *complete = true;
        QByteArray out;
        out.reserve(text.size() * 2);
        for (const QChar ch : text) {
            const char16_t u = ch.unicode();
            const char lo = char(u & 0xFF);
            const char hi = char(u >> 8);
            out.append(e == Encoding::Utf16LE ? lo : hi);
            out.append(e == Encoding::Utf16LE ? hi : lo);
        }
        return out;
    }
    }
    return {};
}

bool isWide(char32_t c)
{
    if (c < 0x1100)
        return false;
    return (c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) || (c >= 0x3041 && c <= 0x33FF)
           || (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF)
           || (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F)
           || (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1F64F)
           || (c >= 0x1F900 && c <= 0x1F9FF) || (c >= 0x20000 && c <= 0x3FFFD);
}

void filterUtf16(Encoding e, char* piece, qsizetype length, qsizetype from)
{
    // Units lie at even offsets of the whole text; take each unit whose
    // second byte is in this piece.
    for (qsizetype u = from - (from % 2); u + 1 < from + length; u += 2) {
        char* q = piece + (u - from);
        const char16_t c = unitAt(q, 0, e);
        const bool hidden = (c < 0x20 && c != 0x09 && c != 0x0A && c != 0x0D) || c == 0x7F;
        if (hidden)
            q[e == Encoding::Utf16LE ? 0 : 1] = '^';  // the other byte is 0 already
    }
}

}  // namespace textenc
