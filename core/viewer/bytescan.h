#pragma once
// Fast scans over raw bytes, 64 at a time where the processor allows: the
// first or last byte of a kind in a range. Every scan stops at the first byte
// it looks for, and its work is linear in the bytes it passes.
#include <QtGlobal>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "core/viewer/cp932.h"

namespace bytescan {
namespace detail {

inline bool isNonLead(unsigned char b) { return !cp932::isLeadByte(b); }
inline bool isLineEnd(unsigned char b) { return b == '\n' || b == '\r'; }

#ifdef __SSE2__
// 0xFF in each byte of v that can start a double-byte character, else 0.
inline __m128i leadBytes(__m128i v)
{
    // Unsigned "b - 0x81 <= 0x1E" and "b - 0xE0 <= 0x1C", by way of the
    // unsigned minimum.
    const __m128i a = _mm_sub_epi8(v, _mm_set1_epi8(char(0x81)));
    const __m128i b = _mm_sub_epi8(v, _mm_set1_epi8(char(0xE0)));
    const __m128i inA = _mm_cmpeq_epi8(_mm_min_epu8(a, _mm_set1_epi8(0x1E)), a);
    const __m128i inB = _mm_cmpeq_epi8(_mm_min_epu8(b, _mm_set1_epi8(0x1C)), b);
    return _mm_or_si128(inA, inB);
}

// 0xFF in each byte of v that is a CR or an LF, else 0.
inline __m128i lineEndBytes(__m128i v)
{
    return _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\r')), _mm_cmpeq_epi8(v, _mm_set1_epi8('\n')));
}

inline __m128i load(const unsigned char* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline unsigned bits(__m128i v) { return unsigned(_mm_movemask_epi8(v)); }

// One bit per byte of the 64 bytes at p, set where the byte is of the kind
// (invert: where it is not).
template <__m128i (*Kind)(__m128i), bool invert>
inline quint64 mask64(const unsigned char* p)
{
    quint64 m = 0;
    for (int k = 0; k < 4; ++k) {
        const unsigned b = bits(Kind(load(p + 16 * k)));
        m |= quint64(invert ? ~b & 0xFFFFu : b) << (16 * k);
    }
    return m;
}

// True when some byte of the 64 at p is of the kind (invert: is not).
template <__m128i (*Kind)(__m128i), bool invert>
inline bool any64(const unsigned char* p)
{
    const __m128i k0 = Kind(load(p));
    const __m128i k1 = Kind(load(p + 16));
    const __m128i k2 = Kind(load(p + 32));
    const __m128i k3 = Kind(load(p + 48));
    if (invert)
        return bits(_mm_and_si128(_mm_and_si128(k0, k1), _mm_and_si128(k2, k3))) != 0xFFFFu;
    return bits(_mm_or_si128(_mm_or_si128(k0, k1), _mm_or_si128(k2, k3))) != 0;
}

// The last and the first position in [from, to) whose byte is of the kind
// (invert: is not): from - 1 or to when there is none.
template <__m128i (*Kind)(__m128i), bool invert, bool (*Scalar)(unsigned char)>
inline qsizetype scanBack(const unsigned char* p, qsizetype from, qsizetype to)
{
    qsizetype i = to;
    while (i - from >= 64) {
        i -= 64;
        if (any64<Kind, invert>(p + i))
            return i + 63 - __builtin_clzll(mask64<Kind, invert>(p + i));
    }
    while (i > from) {
        --i;
        if (Scalar(p[i]))
            return i;
    }
    return from - 1;
}

template <__m128i (*Kind)(__m128i), bool invert, bool (*Scalar)(unsigned char)>
inline qsizetype scanForward(const unsigned char* p, qsizetype from, qsizetype to)
{
    qsizetype i = from;
    while (to - i >= 64) {
        if (any64<Kind, invert>(p + i))
            return i + __builtin_ctzll(mask64<Kind, invert>(p + i));
        i += 64;
    }
    for (; i < to; ++i) {
        if (Scalar(p[i]))
            return i;
    }
    return to;
}
#endif

}  // namespace detail

// The last position in [from, to) whose byte is not a lead byte, or from - 1.
inline qsizetype lastNonLead(const char* text, qsizetype from, qsizetype to)
{
    const auto* p = reinterpret_cast<const unsigned char*>(text);
#ifdef __SSE2__
    return detail::scanBack<detail::leadBytes, true, detail::isNonLead>(p, from, to);
#else
    for (qsizetype i = to - 1; i >= from; --i)
        if (detail::isNonLead(p[i]))
            return i;
    return from - 1;
#endif
}

// The first position in [from, to) whose byte is not a lead byte, or to.
inline qsizetype firstNonLead(const char* text, qsizetype from, qsizetype to)
{
    const auto* p = reinterpret_cast<const unsigned char*>(text);
#ifdef __SSE2__
    return detail::scanForward<detail::leadBytes, true, detail::isNonLead>(p, from, to);
#else
    for (qsizetype i = from; i < to; ++i)
        if (detail::isNonLead(p[i]))
            return i;
    return to;
#endif
}

// The last CR or LF in [from, to), or from - 1.
inline qsizetype lastLineEndByte(const char* text, qsizetype from, qsizetype to)
{
    const auto* p = reinterpret_cast<const unsigned char*>(text);
#ifdef __SSE2__
    return detail::scanBack<detail::lineEndBytes, false, detail::isLineEnd>(p, from, to);
#else
    for (qsizetype i = to - 1; i >= from; --i)
        if (detail::isLineEnd(p[i]))
            return i;
    return from - 1;
#endif
}

// The first CR or LF in [from, to), or to.
inline qsizetype firstLineEndByte(const char* text, qsizetype from, qsizetype to)
{
    const auto* p = reinterpret_cast<const unsigned char*>(text);
#ifdef __SSE2__
    return detail::scanForward<detail::lineEndBytes, false, detail::isLineEnd>(p, from, to);
#else
    for (qsizetype i = from; i < to; ++i)
        if (detail::isLineEnd(p[i]))
            return i;
    return to;
#endif
}

}  // namespace bytescan
