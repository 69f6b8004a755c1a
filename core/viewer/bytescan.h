#pragma once
// Fast scans over raw bytes, sixteen at a time where the processor allows:
// the first or last byte of a kind in a range. Every scan reads each byte of
// its range at most once, whatever the bytes are.
#include <QtGlobal>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "core/viewer/cp932.h"

namespace bytescan {
namespace detail {

#ifdef __SSE2__
// One bit per byte of v: set where the byte can start a double-byte character.
inline unsigned leadMask(__m128i v)
{
    // Unsigned "b - 0x81 <= 0x1E" and "b - 0xE0 <= 0x1C", by way of the
    // unsigned minimum.
    const __m128i a = _mm_sub_epi8(v, _mm_set1_epi8(char(0x81)));
    const __m128i b = _mm_sub_epi8(v, _mm_set1_epi8(char(0xE0)));
    const __m128i inA = _mm_cmpeq_epi8(_mm_min_epu8(a, _mm_set1_epi8(0x1E)), a);
    const __m128i inB = _mm_cmpeq_epi8(_mm_min_epu8(b, _mm_set1_epi8(0x1C)), b);
    return unsigned(_mm_movemask_epi8(_mm_or_si128(inA, inB)));
}

inline __m128i load(const unsigned char* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
#endif

inline bool isNonLead(unsigned char b) { return !cp932::isLeadByte(b); }
inline bool isLineEnd(unsigned char b) { return b == '\n' || b == '\r'; }

}  // namespace detail

// The last position in [from, to) whose byte is not a lead byte, or from - 1.
inline qsizetype lastNonLead(const char* text, qsizetype from, qsizetype to)
{
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    qsizetype i = to;
#ifdef __SSE2__
    while (i - from >= 16) {
        i -= 16;
        const unsigned m = ~detail::leadMask(detail::load(p + i)) & 0xFFFFu;
        if (m)
            return i + 31 - __builtin_clz(m);
    }
#endif
    while (i > from) {
        --i;
        if (detail::isNonLead(p[i]))
            return i;
    }
    return from - 1;
}

// The first position in [from, to) whose byte is not a lead byte, or to.
inline qsizetype firstNonLead(const char* text, qsizetype from, qsizetype to)
{
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    qsizetype i = from;
#ifdef __SSE2__
    while (to - i >= 16) {
        const unsigned m = ~detail::leadMask(detail::load(p + i)) & 0xFFFFu;
        if (m)
            return i + __builtin_ctz(m);
        i += 16;
    }
#endif
    for (; i < to; ++i) {
        if (detail::isNonLead(p[i]))
            return i;
    }
    return to;
}

// The last CR or LF in [from, to), or from - 1.
inline qsizetype lastLineEndByte(const char* text, qsizetype from, qsizetype to)
{
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    qsizetype i = to;
#ifdef __SSE2__
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    while (i - from >= 16) {
        i -= 16;
        const __m128i v = detail::load(p + i);
        const unsigned m = unsigned(_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf))));
        if (m)
            return i + 31 - __builtin_clz(m);
    }
#endif
    while (i > from) {
        --i;
        if (detail::isLineEnd(p[i]))
            return i;
    }
    return from - 1;
}

// The first CR or LF in [from, to), or to.
inline qsizetype firstLineEndByte(const char* text, qsizetype from, qsizetype to)
{
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    qsizetype i = from;
#ifdef __SSE2__
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    while (to - i >= 16) {
        const __m128i v = detail::load(p + i);
        const unsigned m = unsigned(_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf))));
        if (m)
            return i + __builtin_ctz(m);
        i += 16;
    }
#endif
    for (; i < to; ++i) {
        if (detail::isLineEnd(p[i]))
            return i;
    }
    return to;
}

}  // namespace bytescan
