#include "core/viewer/euc.h"

#include <algorithm>
#include <iterator>

namespace {

#include "core/viewer/euc_ss3_table.inc"

// The code page 932 code of the JIS X 0212 character b2 b3 (both in
// 0xA1-0xFE), or 0 when it has none.
unsigned short ss3ToSjis(unsigned char b2, unsigned char b3)
{
    if (b2 < 0xA1 || b2 > 0xFE || b3 < 0xA1 || b3 > 0xFE)
        return 0;
    if (b2 >= 0xF5) {  // user-defined rows, in order onto F540-F9FC
        const int n = (b2 - 0xF5) * 94 + (b3 - 0xA1);
        const int column = n % 188;
        return static_cast<unsigned short>(((0xF5 + n / 188) << 8) | (column < 0x3F ? 0x40 + column : 0x41 + column));
    }
    const unsigned short jis = static_cast<unsigned short>(((b2 & 0x7F) << 8) | (b3 & 0x7F));
    const auto* end = std::end(kSs3Codes);
    const auto* it = std::lower_bound(std::begin(kSs3Codes), end, jis,
                                      [](const Ss3Code& c, unsigned short v) { return c.jis < v; });
    return it != end && it->jis == jis ? it->sjis : 0;
}

}  // namespace

QByteArray ConvertEucToSjisBytes(const QByteArray& in)
{
    const qsizetype n = in.size();
    const auto* p = reinterpret_cast<const unsigned char*>(in.constData());
    QByteArray out;
    out.reserve(n);
    qsizetype i = 0;
    while (i < n) {
        const unsigned char b1 = p[i];
        // The text is NUL-terminated, so the byte after the last one reads as 0.
        const unsigned char b2 = i + 1 < n ? p[i + 1] : 0;
        if (b1 <= 0x7F) {
            out.append(static_cast<char>(b1));
            i += 1;
        } else if (b1 == 0x8E) {  // single shift 2: half-width katakana
            out.append(static_cast<char>(b2));
            i += 2;
        } else if (b1 == 0x8F) {
            // Single shift 3: a JIS X 0212 character in the next two bytes,
            // one character in all. Missing bytes at the end read as 0, so a
            // cut character has no code either. What has none becomes the
            // geta mark.
            const unsigned char b3 = i + 2 < n ? p[i + 2] : 0;
            const unsigned short code = ss3ToSjis(b2, b3);
            out.append(static_cast<char>(code ? code >> 8 : 0x81));
            out.append(static_cast<char>(code ? code & 0xFF : 0xAC));
            i += 3;
        } else {  // a JIS X 0208 pair, whatever the second byte is
            const int j1 = b1 & 0x7F;
            const int j2 = b2 & 0x7F;
            unsigned char t = static_cast<unsigned char>((j1 & 1) ? j2 + 0x1F : j2 + 0x7D);
            if (t >= 0x7F)
                t = static_cast<unsigned char>(t + 1);
            // Arithmetic shift: below 0x21 the difference is negative and the
            // byte wraps round.
            unsigned char s = static_cast<unsigned char>(((j1 - 0x21) >> 1) + 0x81);
            if (s > 0x9F)
                s = static_cast<unsigned char>(s + 0x40);
            out.append(static_cast<char>(s));
            out.append(static_cast<char>(t));
            i += 2;
        }
    }
    // The pane's text is NUL-terminated: a 0 byte produced above (a trailing
    // 0x8E, or 0x8E followed by a NUL) ends the text there.
    const qsizetype nul = out.indexOf('\0');
    if (nul >= 0)
        out.truncate(nul);
    return out;
}
