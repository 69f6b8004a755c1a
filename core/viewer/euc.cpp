#include "core/viewer/euc.h"

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
