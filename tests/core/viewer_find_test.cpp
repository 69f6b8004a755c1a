// The find primitive: case-insensitive letters (ASCII and full-width),
// matches only on character boundaries, compared with a plain reference
// search on random code page 932 text.
#include <gtest/gtest.h>

#include <random>

#include "core/viewer/cp932.h"
#include "core/viewer/find.h"

namespace {

// Reference: walk character by character from every character start.
int charLen(const QByteArray& s, qsizetype i) { return cp932::charLength(s.constData() + i, s.size() - i); }

QByteArray fold(const QByteArray& s, qsizetype i, int len)
{
    QByteArray c = s.mid(i, len);
    if (len == 1 && c[0] >= 'A' && c[0] <= 'Z')
        c[0] = char(c[0] + 0x20);
    if (len == 2 && uchar(c[0]) == 0x82 && uchar(c[1]) >= 0x60 && uchar(c[1]) <= 0x79)
        c[1] = char(uchar(c[1]) + 0x21);
    return c;
}

qint64 referenceFind(const QByteArray& text, qint64 start, qint64 end, const QByteArray& pattern, qint64* foundEnd)
{
    if (end < 0)
        end = text.size();
    for (qsizetype p = 0; p < text.size(); p += charLen(text, p)) {
        if (p < start || pattern.isEmpty())
            continue;
        qsizetype t = p;
        qsizetype q = 0;
        while (q < pattern.size() && t < end) {
            const int lt = charLen(text, t);
            const int lq = charLen(pattern, q);
            if (lt != lq || t + lt > end || fold(text, t, lt) != fold(pattern, q, lq))
                break;
            t += lt;
            q += lq;
        }
        if (q == pattern.size()) {
            *foundEnd = t;
            return p;
        }
    }
    return -1;
}

QByteArray randomBytes(std::mt19937& rng, int n)
{
    static const unsigned char alphabet[] = {'a', 'A', 'b', 'B', 'z', ' ', '\n', '\r', 0x82, 0x83, 0x41, 0x60,
                                             0x79, 0x81, 0x9A, 0x88, 0x9F, 0xA0, 0xB1, 0xFD, 0x0A, 0xE0, 0x40};
    std::uniform_int_distribution<int> pick(0, sizeof alphabet - 1);
    QByteArray s;
    for (int i = 0; i < n; ++i)
        s.append(char(alphabet[pick(rng)]));
    return s;
}

}  // namespace

TEST(FindText, LettersMatchInEitherCase)
{
    const QByteArray text = QByteArray(10, '-') + "ABC--abc--" + "\x82\x60\x82\x81";  // ...ＡａF
    qint64 end = -1;
    EXPECT_EQ(findText(text, 0, -1, "abc", &end), 10);
    EXPECT_EQ(end, 13);
    EXPECT_EQ(findText(text, 11, -1, "aBc", &end), 15);
    // Full-width Ａ (0x8260) and ａ (0x8281) find each other.
    EXPECT_EQ(findText(text, 0, -1, "\x82\x81", &end), 20);
    EXPECT_EQ(findText(text, 21, -1, "\x82\x60", &end), 22);
    EXPECT_EQ(end, 24);
    // Other characters keep their case-less identity: 'Ａ' is not 'A'.
    EXPECT_EQ(findText(text, 0, -1, "\x82\x41", &end), -1);
}

TEST(FindText, MatchesStartOnlyOnCharacterBoundaries)
{
    // ア is 0x83 0x41: its second byte is an 'A' but no match starts there.
    const QByteArray text("\x83\x41\x83\x41 xA");
    qint64 end = -1;
    EXPECT_EQ(findText(text, 0, -1, "A", &end), 6);
    EXPECT_EQ(findText(text, 0, -1, "a", &end), 6);
    // A pattern ending in a lone lead byte does not stop inside a pair.
    EXPECT_EQ(findText(QByteArray("\x83\x41\x83"), 0, -1, "\x83", &end), 2);
    // A long run of lead-range bytes pairs off from its start.
    const QByteArray odd = QByteArray("x") + QByteArray(1000, '\x88') + "\x40";
    EXPECT_EQ(findText(odd, 0, -1, "\x88\x40", &end), -1);
    const QByteArray even = QByteArray(1001, '\x88') + "\x40";
    EXPECT_EQ(findText(even, 0, -1, "\x88\x40", &end), 1000);
}

TEST(FindText, RangeLimitsAndEmptyPattern)
{
    const QByteArray text("abcabcabc");
    qint64 end = -1;
    EXPECT_EQ(findText(text, 1, -1, "abc", &end), 3);
    EXPECT_EQ(findText(text, 0, 5, "cab", &end), 2);
    EXPECT_EQ(findText(text, 3, 5, "abc", &end), -1);  // must end within the range
    EXPECT_EQ(findText(text, 7, -1, "abc", &end), -1);
    EXPECT_EQ(findText(text, 0, -1, "", &end), -1);
    EXPECT_EQ(findText(QByteArray(), 0, -1, "a", &end), -1);
    EXPECT_EQ(findText(text, -5, 100, "c", &end), 2);  // out-of-range limits are clipped
}

TEST(FindText, AgreesWithReferenceSearchOnRandomText)
{
    std::mt19937 rng(932);
    for (int round = 0; round < 300; ++round) {
        const QByteArray text = randomBytes(rng, 400);
        for (int k = 0; k < 20; ++k) {
            QByteArray pattern;
            if (k % 2) {
                pattern = randomBytes(rng, 1 + rng() % 3);
            } else {
                const int at = rng() % 390;
                pattern = text.mid(at, 1 + rng() % 6);
                for (char& c : pattern)  // flip the case of some letters
                    if (((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) && rng() % 2)
                        c = char(c ^ 0x20);
            }
            const qint64 start = rng() % 200;
            const qint64 stop = (k % 3 == 0) ? -1 : 200 + qint64(rng() % 200);
            qint64 gotEnd = -1;
            qint64 wantEnd = -1;
            const qint64 got = findText(text, start, stop, pattern, &gotEnd);
            const qint64 want = referenceFind(text, start, stop, pattern, &wantEnd);
            ASSERT_EQ(got, want) << "text " << text.toHex().constData() << " pattern "
                                 << pattern.toHex().constData() << " range " << start << ".." << stop;
            if (want >= 0) {
                ASSERT_EQ(gotEnd, wantEnd);
            }
        }
    }
}
