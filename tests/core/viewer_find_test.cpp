// The find primitive: letters without case (ASCII, full-width Latin, Greek,
// Cyrillic, Roman numerals), matches only on character boundaries, compared
// with a plain reference search on random and hostile code page 932 text, and
// the work a search in runs of lead-range bytes costs.
#include <gtest/gtest.h>

#include <random>

#include "core/viewer/cp932.h"
#include "core/viewer/find.h"
#include "core/viewer/textlayout.h"

namespace {

// Reference: walk character by character from every character start.
int charLen(const QByteArray& s, qsizetype i) { return cp932::charLength(s.constData() + i, s.size() - i); }

// Case-less identity by way of Unicode: a character that has case compares
// as its lower-case Unicode form, anything else as its bytes.
QByteArray fold(const QByteArray& s, qsizetype i, int len)
{
    const QByteArray c = s.mid(i, len);
    const QString u = cp932::toUnicode(c);
    if (u.size() == 1 && u[0].toLower() != u[0].toUpper())
        return "U" + u.toLower().toUtf8();
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
    static const unsigned char alphabet[] = {'a', 'A', 'b', 'B', 'z', ' ',  '\n', '\r', 0x82, 0x83, 0x41, 0x60, 0x79,
                                             0x81, 0x9A, 0x88, 0x9F, 0xA0, 0xB1, 0xFD, 0x0A, 0xE0, 0x40, 0x84, 0xBF,
                                             0x70, 0x87, 0x54, 0xEE, 0xEF, 0xFA, 0x4A, 0x7F, 0x80};
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

// The pattern of each case: any mix of upper and lower case finds the others.
TEST(FindText, GreekCyrillicAndRomanNumeralsIgnoreCase)
{
    auto finds = [](const char* text, const char* pattern) {
        qint64 end = -1;
        return findText(QByteArray(text), 0, -1, QByteArray(pattern), &end) == 0;
    };
    EXPECT_TRUE(finds("\x83\x9F", "\x83\xBF"));   // Α α
    EXPECT_TRUE(finds("\x83\xD6", "\x83\xB6"));   // ω Ω
    EXPECT_TRUE(finds("\x84\x40", "\x84\x70"));   // А а
    EXPECT_TRUE(finds("\x84\x80", "\x84\x4F"));   // о О: the lower case row skips 0x7F
    EXPECT_TRUE(finds("\x84\x91", "\x84\x60"));   // я Я
    EXPECT_TRUE(finds("\x84\x46", "\x84\x76"));   // Ё ё
    // Ⅲ and ⅲ in both rows each: all four codes find each other.
    const char* three[] = {"\x87\x56", "\xFA\x4C", "\xEE\xF1", "\xFA\x42"};
    for (const char* a : three)
        for (const char* b : three)
            EXPECT_TRUE(finds(a, b)) << QByteArray(a).toHex().constData() << " " << QByteArray(b).toHex().constData();
    EXPECT_FALSE(finds("\x87\x55", "\xFA\x42"));  // Ⅱ is not ⅲ
    // Half-width and full-width forms stay apart; Greek is not Latin.
    EXPECT_FALSE(finds("A", "\x82\x60"));
    EXPECT_FALSE(finds("\x82\x81", "a"));
    EXPECT_FALSE(finds("\x83\x9F", "\x82\x60"));
    // A word in mixed case: Σοφία as ΣΟΦΊΑ-less capitals (no accents in code page 932).
    const QByteArray lower = cp932::fromUnicode(QStringLiteral("xσοφια and москва"));
    const QByteArray upper = cp932::fromUnicode(QStringLiteral("ΣΟΦΙΑ AND МОСКВА"));
    qint64 end = -1;
    EXPECT_EQ(findText(lower, 0, -1, upper, &end), 1);
    EXPECT_EQ(end, lower.size());
}

// Every pair of characters that Unicode says differ in case only finds each
// other, and nothing else among the characters with case.
TEST(FindText, CaseFoldingCoversEveryCasedCharacter)
{
    std::vector<QByteArray> cased;
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (!cp932::isLeadByte(uchar(lead)))
            continue;
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            const QChar u(cp932::decodePair(uchar(lead), uchar(trail)));
            if (cp932::isTrailByte(uchar(trail)) && u.unicode() && u.toLower() != u.toUpper())
                cased.push_back(QByteArray(1, char(lead)) + char(trail));
        }
    }
    ASSERT_GT(cased.size(), size_t(200));
    for (const QByteArray& a : cased) {
        const QChar ua = cp932::toUnicode(a)[0];
        for (const QByteArray& b : cased) {
            const bool same = ua.toLower() == cp932::toUnicode(b)[0].toLower();
            qint64 end = -1;
            ASSERT_EQ(findText(a, 0, -1, b, &end) == 0, same)
                << a.toHex().constData() << " " << b.toHex().constData();
        }
    }
}

TEST(FindText, AgreesWithReferenceSearchInLeadRuns)
{
    std::mt19937 rng(62);
    static const unsigned char leads[] = {0x81, 0x83, 0x84, 0x9F, 0xE0, 0xF6};
    for (int round = 0; round < 200; ++round) {
        QByteArray text;
        while (text.size() < 600) {
            if (rng() % 3)
                text += QByteArray(1 + int(rng() % 150), char(leads[rng() % 6]));
            else
                text += randomBytes(rng, 1 + rng() % 4);
        }
        for (int k = 0; k < 10; ++k) {
            const int at = rng() % 590;
            const QByteArray pattern = text.mid(at, 1 + rng() % 4);
            const qint64 start = rng() % 300;
            qint64 gotEnd = -1;
            qint64 wantEnd = -1;
            const qint64 want = referenceFind(text, start, -1, pattern, &wantEnd);
            ASSERT_EQ(findText(text, start, -1, pattern, &gotEnd), want)
                << "text " << text.toHex().constData() << " pattern " << pattern.toHex().constData();
            if (want >= 0) {
                ASSERT_EQ(gotEnd, wantEnd);
            }
        }
    }
}

// "＜" (81 83) in a line of "メ" (83 81): every second byte is a candidate that
// is no character start. The work is counted in bytes looked at.
TEST(FindText, SearchInALeadRunDoesLinearWork)
{
    const qsizetype n = 20000;
    QByteArray text;
    for (qsizetype i = 0; i < n / 2; ++i)
        text += "\x83\x81";
    textlayout::CharIndex chars;
    chars.setText(text.constData(), text.size());
    qint64 end = -1;
    EXPECT_EQ(findText(text, 0, -1, "\x81\x83", &end, &chars), -1);
    EXPECT_LE(chars.bytesExamined(), 2 * n);

    // Searching back window by window over the same text, as find previous does.
    const qsizetype before = chars.bytesExamined();
    for (qint64 w = n - 500; w > -500; w -= 500)
        ASSERT_EQ(findText(text, std::max<qint64>(w, 0), w + 501, "\x81\x83", &end, &chars), -1);
    EXPECT_LE(chars.bytesExamined() - before, 2 * n);

    // A real "＜" after the run is found, and one on an odd byte is not.
    const QByteArray withLt = text + "\x81\x83";
    EXPECT_EQ(findText(withLt, 0, -1, "\x81\x83", &end), n);
    EXPECT_EQ(end, n + 2);
    EXPECT_EQ(findText("x" + text + "\x81\x83", 0, -1, "\x81\x83", &end), n + 1);
    EXPECT_EQ(findText("\x83" + text, 0, -1, "\x83\x81\x83", &end), -1);
    // One more lead byte in front shifts every pair: now "＜" is everywhere.
    EXPECT_EQ(findText("\x83" + text, 0, -1, "\x81\x83", &end), 2);
}
