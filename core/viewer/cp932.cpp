#include "core/viewer/cp932.h"

#include <algorithm>
#include <iterator>

namespace cp932 {
namespace {

#include "core/viewer/cp932_table.inc"

int leadRow(unsigned char lead) { return lead <= 0x9F ? lead - 0x81 : lead - 0xE0 + (0x9F - 0x81 + 1); }
int trailColumn(unsigned char trail) { return trail < 0x7F ? trail - 0x40 : trail - 0x41; }

}  // namespace

char16_t decodeSingle(unsigned char b)
{
    if (b < 0x80)
        return b;
    if (b >= 0xA1 && b <= 0xDF)  // half-width katakana
        return static_cast<char16_t>(0xFF61 + (b - 0xA1));
    return 0;
}

char16_t decodePair(unsigned char lead, unsigned char trail)
{
    if (!isLeadByte(lead) || !isTrailByte(trail))
        return 0;
    return kDoubleByteTable[leadRow(lead)][trailColumn(trail)];
}

QString toUnicode(const char* bytes, qsizetype size)
{
    QString out;
    out.reserve(size);
    qsizetype i = 0;
    while (i < size) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (charLength(bytes + i, size - i) == 2) {
            const char16_t c = decodePair(b, static_cast<unsigned char>(bytes[i + 1]));
            if (c) {
                out.append(QChar(c));
            } else {
                out.append(QChar(kPlaceholder));
                out.append(QChar(kPlaceholder));
            }
            i += 2;
            continue;
        }
        const char16_t c = decodeSingle(b);
        out.append(QChar(c || b == 0 ? c : kPlaceholder));
        ++i;
    }
    return out;
}

QString toUnicode(const QByteArray& bytes) { return toUnicode(bytes.constData(), bytes.size()); }

QByteArray fromUnicode(const QString& text, bool* complete)
{
    if (complete)
        *complete = true;
    QByteArray out;
    out.reserve(text.size() * 2);
    for (const QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u < 0x80) {
            out.append(static_cast<char>(u));
        } else if (u >= 0xFF61 && u <= 0xFF9F) {
            out.append(static_cast<char>(0xA1 + (u - 0xFF61)));
        } else {
            const auto* end = std::end(kEncodeTable);
            const auto* it = std::lower_bound(std::begin(kEncodeTable), end, u,
                                              [](const EncodePair& p, char16_t v) { return p.unicode < v; });
            if (it != end && it->unicode == u) {
                out.append(static_cast<char>(it->sjis >> 8));
                out.append(static_cast<char>(it->sjis & 0xFF));
            } else {
                out.append('?');  // also each half of a surrogate pair
                if (complete)
                    *complete = false;
            }
        }
    }
    return out;
}

}  // namespace cp932
