// UTF-8 and UTF-16 texts: which texts are taken for them (and that Shift-JIS,
// EUC-JP and binary files never are), their characters and boundaries with
// broken sequences, their lines, the display filter by UTF-16 units, and
// search with Unicode case folding.
#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>

#include <random>

#include "core/viewer/cp932.h"
#include "core/viewer/display.h"
#include "core/viewer/encoding.h"
#include "core/viewer/euc.h"
#include "core/viewer/find.h"
#include "core/viewer/textlayout.h"
#include "support/testsupport.h"

using textenc::Encoding;

namespace {

QByteArray utf16(const QString& s, Encoding e, bool bom = true)
{
    QByteArray out = bom ? (e == Encoding::Utf16LE ? QByteArray("\xFF\xFE") : QByteArray("\xFE\xFF")) : QByteArray();
    return out + textenc::fromUnicode(e, s);
}

const QString kSample = QString::fromUtf8("日本語のテキスト\tcafé straße 😀\r\nａｂｃ Ｎｏ.1 ｶﾀｶﾅ\r\n最後の行\n");

qint64 find(const QByteArray& text, Encoding e, const QString& pattern, qint64* end = nullptr, qint64 from = 0)
{
    textlayout::CharIndex chars;
    chars.setText(text.constData(), text.size(), e);
    return findText(text, from, -1, textenc::fromUnicode(e, pattern), end, &chars);
}

}  // namespace

TEST(UnicodeText, DetectsByByteOrderMarkOrValidMultiByteUtf8)
{
    using testsupport::fixture;
    using testsupport::readFile;
    EXPECT_EQ(textenc::detect(readFile(fixture("text/unicode.utf8.txt"))), Encoding::Utf8);
    EXPECT_EQ(textenc::detect(readFile(fixture("text/unicode.utf8bom.txt"))), Encoding::Utf8);
    EXPECT_EQ(textenc::detect(readFile(fixture("text/unicode.utf16le.txt"))), Encoding::Utf16LE);
    EXPECT_EQ(textenc::detect(readFile(fixture("text/unicode.utf16be.txt"))), Encoding::Utf16BE);
    EXPECT_EQ(textenc::detect(readFile(fixture("text/sample.utf8.txt"))), Encoding::Utf8);

    EXPECT_EQ(textenc::detect(QByteArray("plain ASCII\r\n")), Encoding::Cp932);
    EXPECT_EQ(textenc::detect(QByteArray("\xEF\xBB\xBF" "ASCII after a mark")), Encoding::Utf8);
    EXPECT_EQ(textenc::detect(QByteArray()), Encoding::Cp932);
    // A broken sequence anywhere in the first 64 KiB: not UTF-8; past them it
    // no longer counts.
    const QByteArray good = QString::fromUtf8("é").toUtf8();
    EXPECT_EQ(textenc::detect(good + "abc\xC3" "x"), Encoding::Cp932);
    EXPECT_EQ(textenc::detect(good + "\xE0\x80\x80"), Encoding::Cp932);  // overlong
    EXPECT_EQ(textenc::detect(good + "\xED\xA0\x80"), Encoding::Cp932);  // a surrogate
    EXPECT_EQ(textenc::detect(good + "\xF4\x90\x80\x80"), Encoding::Cp932);  // past U+10FFFF
    QByteArray late = good + QByteArray(textenc::kDetectLimit, 'a');
    late += "\x82\xA0";
    EXPECT_EQ(textenc::detect(late), Encoding::Utf8);
}

TEST(UnicodeText, PreviewCutInsideACharacterIsStillUtf8)
{
    QByteArray text;
    while (text.size() < 2100)
        text += QString::fromUtf8("日本語の文章😀").toUtf8();
    for (int cut = 1990; cut < 2010; ++cut) {
        const QByteArray preview = text.left(cut);
        EXPECT_EQ(textenc::detect(preview), Encoding::Utf8) << cut;
        // The cut character shows as placeholders; nothing before it changes.
        const QString shown = textenc::toUnicode(Encoding::Utf8, preview.constData(), preview.size());
        const QString whole = QString::fromUtf8(text);
        qsizetype same = 0;
        while (same < shown.size() && shown[same] == whole[same])
            ++same;
        for (qsizetype i = same; i < shown.size(); ++i)
            EXPECT_EQ(shown[i], QChar(0xFFFD)) << cut;
        EXPECT_LE(shown.size() - same, 3) << cut;
    }
}

TEST(UnicodeText, ShiftJisEucJpAndBinaryFilesAreNeverUtf8)
{
    int looked = 0;
    for (const QString& folder : {QStringLiteral("text"), QStringLiteral("src"), QStringLiteral("lzh")}) {
        QDirIterator it(testsupport::fixture(folder), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            if (path.contains(QStringLiteral("utf8")) || path.contains(QStringLiteral("utf16"))
                || path.endsWith(QStringLiteral(".md")))
                continue;
            const QByteArray bytes = testsupport::readFile(path);
            EXPECT_EQ(textenc::detect(bytes), Encoding::Cp932) << path.toStdString();
            ++looked;
        }
    }
    EXPECT_GE(looked, 20);

    // 1,000 lines of Japanese in code page 932, 10 to 40 characters drawn
    // from the whole table of double-byte characters, the half-width katakana
    // and ASCII letters: none passes, nor does the text they make together.
    // (A line of two or three such characters can pass by chance, "E4 9F"
    // "81 40" being valid UTF-8; a text of some lines no longer does.)
    std::vector<QByteArray> chars;
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            if (cp932::decodePair(lead, trail))
                chars.push_back(QByteArray(1, char(lead)).append(char(trail)));
        }
    }
    for (int k = 0xA1; k <= 0xDF; ++k)
        chars.push_back(QByteArray(1, char(k)));
    ASSERT_GT(chars.size(), 7000u);
    std::mt19937 rng(13);
    QByteArray all;
    for (int line = 0; line < 1000; ++line) {
        QByteArray l;
        const int n = 10 + int(rng() % 31);
        for (int i = 0; i < n; ++i)
            l += rng() % 4 == 0 ? QByteArray(1, char('a' + rng() % 26)) : chars[rng() % chars.size()];
        EXPECT_EQ(textenc::detect(l), Encoding::Cp932) << l.toHex(' ').toStdString();
        all += l + "\r\n";
    }
    EXPECT_EQ(textenc::detect(all), Encoding::Cp932);
}

TEST(UnicodeText, CharactersDecodeAndBrokenBytesShowOnePlaceholderEach)
{
    // A cut sequence, a lone continuation byte, a lone lead: one placeholder
    // per byte, and the valid byte after each survives.
    const QByteArray text = QByteArray("a\xE3\x81" "b\x80" "c\xF0\x9F\x98" "\xC3\xA9") + "\xF0\x9F\x98\x80";
    const QString shown = textenc::toUnicode(Encoding::Utf8, text.constData(), text.size());
    EXPECT_EQ(shown, QString::fromUtf8("a\xEF\xBF\xBD\xEF\xBF\xBD" "b\xEF\xBF\xBD" "c\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"
                                       "é😀"));

    textlayout::CharIndex idx;
    idx.setText(text.constData(), text.size(), Encoding::Utf8);
    std::vector<qsizetype> steps;
    for (qsizetype p = 0; p < text.size(); p = idx.nextChar(p))
        steps.push_back(p);
    EXPECT_EQ(steps, (std::vector<qsizetype>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 11}));
    EXPECT_EQ(idx.prevChar(text.size()), 11);
    EXPECT_EQ(idx.charStart(13), 11);  // inside the emoji
    EXPECT_FALSE(idx.isCharBoundary(10));

    // UTF-16: a surrogate pair is one character, a lone surrogate two
    // placeholders, an odd last byte one.
    for (const Encoding e : {Encoding::Utf16LE, Encoding::Utf16BE}) {
        QByteArray u = utf16(QString::fromUtf8("a😀"), e);
        u += textenc::fromUnicode(e, QString(QChar(0xDC00)));
        u += "\x41";
        textlayout::CharIndex ui;
        ui.setText(u.constData(), u.size(), e);
        steps.clear();
        for (qsizetype p = 0; p < u.size(); p = ui.nextChar(p))
            steps.push_back(p);
        EXPECT_EQ(steps, (std::vector<qsizetype>{0, 2, 4, 8, 10}));
        EXPECT_EQ(ui.charStart(6), 4);
        EXPECT_EQ(ui.charStart(5), 4);
        EXPECT_EQ(textenc::toUnicode(e, u.constData(), u.size()),
                  QString::fromUtf8("\xEF\xBB\xBF" "a😀\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"));
    }
}

TEST(UnicodeText, Utf16LinesEndAtWholeUnitsOnly)
{
    // "《" is 0A 30 in UTF-16 LE and "ਊ" 0A 0A: bytes of line feeds inside
    // characters end no line.
    const QString s = QString::fromUtf8("一《\r\nਊ二\r三\n\n");
    for (const Encoding e : {Encoding::Utf16LE, Encoding::Utf16BE}) {
        const QByteArray t = utf16(s, e);
        const qsizetype n = t.size();
        // Lines: [2, 6) ends at CR LF, [10, 14) at CR, [16, 18) at LF, [20, 20) at LF, [22, 22).
        EXPECT_EQ(textlayout::lineEndAt(t.constData(), n, 2, e), 6);
        EXPECT_EQ(textlayout::afterLineEnd(t.constData(), n, 6, e), 10);
        EXPECT_EQ(textlayout::lineEndAt(t.constData(), n, 8, e), 6);  // the LF of CR LF
        EXPECT_EQ(textlayout::lineStart(t.constData(), n, 13, e), 10);
        EXPECT_EQ(textlayout::lineEndAt(t.constData(), n, 10, e), 14);
        EXPECT_EQ(textlayout::afterLineEnd(t.constData(), n, 14, e), 16);
        EXPECT_EQ(textlayout::lineStart(t.constData(), n, 17, e), 16);
        EXPECT_EQ(textlayout::lineStart(t.constData(), n, n, e), n);

        textlayout::LineIndex lines;
        lines.setText(t.constData(), n, e);
        EXPECT_EQ(lines.lineCount(), 4);  // line feeds only
        EXPECT_EQ(lines.lineStartOf(1), 10);
        EXPECT_EQ(lines.lineStartOf(2), 20);
        EXPECT_EQ(lines.lineOf(15), 1);
        EXPECT_EQ(lines.lineStartOf(4), -1);

        textlayout::CharIndex idx;
        idx.setText(t.constData(), n, e);
        EXPECT_EQ(idx.nextChar(6), 10);  // CR LF is one step
        EXPECT_EQ(idx.charStart(8), 6);
    }
}

// Random UTF-16 texts of units whose bytes look like line ends, against a
// plain walk over the units.
TEST(UnicodeText, Utf16LinesAgreeWithAWalkOverTheUnits)
{
    const char16_t units[] = {u'\n', u'\r', u'a', 0x0A0A, 0x0D0A, 0x0A0D, 0x300A, 0x0A00, 0x0D00, 0x000D};
    std::mt19937 rng(16);
    for (int round = 0; round < 300; ++round) {
        const Encoding e = round % 2 ? Encoding::Utf16LE : Encoding::Utf16BE;
        QString s;
        const int n = int(rng() % 80);
        for (int i = 0; i < n; ++i)
            s += QChar(units[rng() % std::size(units)]);
        QByteArray t = textenc::fromUnicode(e, s);
        if (round % 3 == 0)
            t += '\n';  // an odd last byte is no unit
        const qsizetype size = t.size();
        auto unit = [&](qsizetype u) { return u + 2 <= size ? textenc::unitAt(t.constData(), u, e) : char16_t(0); };
        // Line ends by walking: (start of the line end, start of the next line).
        std::vector<std::pair<qsizetype, qsizetype>> ends;
        for (qsizetype u = 0; u + 2 <= size; u += 2) {
            if (unit(u) == u'\r' && unit(u + 2) == u'\n') {
                ends.push_back({u, u + 4});
                u += 2;
            } else if (unit(u) == u'\r' || unit(u) == u'\n') {
                ends.push_back({u, u + 2});
            }
        }
        textlayout::LineIndex lines;
        lines.setText(t.constData(), size, e);
        qsizetype lfs = 0;
        for (qsizetype u = 0; u + 2 <= size; u += 2)
            lfs += unit(u) == u'\n';
        EXPECT_EQ(lines.lineCount(), lfs + 1) << round;
        for (qsizetype pos = 0; pos <= size; pos += 2) {
            qsizetype start = 0;
            qsizetype end = size;
            for (const auto& [at, next] : ends) {
                if (next <= pos)
                    start = next;
                else {
                    end = at;
                    break;
                }
            }
            EXPECT_EQ(textlayout::lineStart(t.constData(), size, pos, e), start) << round << " " << pos;
            EXPECT_EQ(textlayout::lineEndAt(t.constData(), size, pos, e), end)
                << round << " " << pos;
            qsizetype before = 0;
            for (qsizetype u = 0; u + 2 <= pos; u += 2)
                before += unit(u) == u'\n';
            EXPECT_EQ(lines.lineOf(pos), before) << round << " " << pos;
        }
    }
}

TEST(UnicodeText, WrapsWideCharactersInFullCellsAndTabsToStops)
{
    const textlayout::Metrics m{1, 2, 8};
    const QByteArray t = QString::fromUtf8("aé日😀\tb").toUtf8();
    // a 1, é 1, 日 2, 😀 2, TAB to 8, b 1.
    EXPECT_EQ(textlayout::xOfPos(t.constData(), t.size(), 0, t.size(), m, Encoding::Utf8), 9);
    EXPECT_EQ(textlayout::wrapRows(t.constData(), t.size(), 0, t.size(), m, 4, Encoding::Utf8),
              (std::vector<qsizetype>{0, 6, 10, 11}));
    // The byte order mark takes no room; broken bytes one cell each.
    const QByteArray b = QByteArray("\xEF\xBB\xBF" "a\xE3\x81");
    EXPECT_EQ(textlayout::xOfPos(b.constData(), b.size(), 0, b.size(), m, Encoding::Utf8), 3);
}

TEST(UnicodeText, DisplayFilterWorksOnUtf16UnitsAndKeepsUtf8)
{
    for (const Encoding e : {Encoding::Utf16LE, Encoding::Utf16BE}) {
        QString s = QString::fromUtf8("a\tb\r\nਁ《");  // U+0A01 holds a byte 01
        s += QChar(0x01);
        s += QChar(0x1B);
        s += QChar(0x7F);
        s += QChar(0x00);
        const QByteArray text = utf16(s, e);
        const QByteArray expected = utf16(QString::fromUtf8("a\tb\r\nਁ《^^^^"), e);
        QByteArray whole = text;
        SanitizeForDisplay(whole);
        EXPECT_EQ(whole, expected);
        // In pieces of odd length, as a load hands them over.
        for (int piece = 1; piece <= 5; ++piece) {
            QByteArray bytes = text;
            DisplayFilter filter;
            for (qsizetype at = 0; at < bytes.size(); at += piece)
                filter(bytes.data() + at, uint64_t(std::min<qsizetype>(piece, bytes.size() - at)));
            EXPECT_EQ(bytes, expected) << piece;
        }
    }
    QByteArray u8 = QString::fromUtf8("é\x01日").toUtf8();
    SanitizeForDisplay(u8);
    EXPECT_EQ(u8, QString::fromUtf8("é^日").toUtf8());
    QByteArray sjis("\x82\xA0\x00\x1B", 4);
    SanitizeForDisplay(sjis);
    EXPECT_EQ(sjis, QByteArray("\x82\xA0^^"));
}

TEST(UnicodeText, SearchFoldsCaseKeepsWidthsAndStaysOnBoundaries)
{
    for (const Encoding e : {Encoding::Utf8, Encoding::Utf16LE, Encoding::Utf16BE}) {
        const QByteArray text = e == Encoding::Utf8 ? kSample.toUtf8() : utf16(kSample, e);
        const QByteArray cafe = textenc::fromUnicode(e, QStringLiteral("café"));
        const qint64 at = text.indexOf(cafe);
        qint64 end = -1;
        EXPECT_EQ(find(text, e, QString::fromUtf8("CAFÉ"), &end), at);
        EXPECT_EQ(end, at + cafe.size());
        EXPECT_EQ(find(text, e, QString::fromUtf8("É")), text.indexOf(textenc::fromUnicode(e, QString::fromUtf8("é"))));
        EXPECT_EQ(find(text, e, QString::fromUtf8("STRASSE")), -1);  // only simple mappings
        EXPECT_GE(find(text, e, QString::fromUtf8("STRAßE")), 0);
        const qint64 full = text.indexOf(textenc::fromUnicode(e, QString::fromUtf8("ａｂｃ")));
        EXPECT_EQ(find(text, e, QString::fromUtf8("ＡＢＣ")), full);
        EXPECT_EQ(find(text, e, QString::fromUtf8("ＡＢｃ")), full);
        EXPECT_EQ(find(text, e, QStringLiteral("abc")), -1);         // half-width stays distinct
        EXPECT_EQ(find(text, e, QString::fromUtf8("カタカナ")), -1);  // full-width stays distinct
        EXPECT_GE(find(text, e, QString::fromUtf8("ｶﾀｶﾅ")), 0);
        EXPECT_GE(find(text, e, QString::fromUtf8("😀\r\n")), 0);
        EXPECT_EQ(find(text, e, QString::fromUtf8("行\n"), nullptr, 0),
                  text.indexOf(textenc::fromUnicode(e, QString::fromUtf8("行\n"))));
        EXPECT_EQ(find(text, e, QString()), -1);
    }
    // "k" finds the Kelvin sign, three bytes long, and the match ends after it.
    const QByteArray kelvin = QString::fromUtf8("xx\u212A!").toUtf8();
    qint64 end = -1;
    EXPECT_EQ(find(kelvin, Encoding::Utf8, QStringLiteral("k!"), &end), 2);
    EXPECT_EQ(end, 6);

    // Never inside a character: in UTF-16 "䅂䍄" (42 41 44 43 in LE) holds the
    // bytes of "䑁" (41 44) at an odd offset; a lone low surrogate matches not
    // the second half of a pair; in UTF-8 no match starts on a continuation.
    const QByteArray le = utf16(QString::fromUtf8("䅂䍄"), Encoding::Utf16LE, false);
    EXPECT_EQ(le.indexOf(textenc::fromUnicode(Encoding::Utf16LE, QString::fromUtf8("䑁"))), 1);
    EXPECT_EQ(find(le, Encoding::Utf16LE, QString::fromUtf8("䑁")), -1);
    const QByteArray pair = utf16(QString::fromUtf8("😀"), Encoding::Utf16LE, false);
    EXPECT_EQ(find(pair, Encoding::Utf16LE, QString(QChar(0xDE00))), -1);
    EXPECT_EQ(find(pair, Encoding::Utf16LE, QString::fromUtf8("😀")), 0);
}

// A plain reference: decode the whole valid UTF-8 text, compare folded code
// points from every character start.
TEST(UnicodeText, SearchAgreesWithAReferenceOnRandomText)
{
    const QStringList alphabet = {QStringLiteral("a"), QStringLiteral("A"), QString::fromUtf8("é"),
                                  QString::fromUtf8("É"), QString::fromUtf8("ß"), QString::fromUtf8("ẞ"),
                                  QString::fromUtf8("あ"), QString::fromUtf8("😀"), QString::fromUtf8("ｂ"),
                                  QString::fromUtf8("Ｂ"), QString::fromUtf8("\u212A"), QStringLiteral("k")};
    std::mt19937 rng(7);
    for (int round = 0; round < 200; ++round) {
        QList<uint> cps;
        for (int i = 0; i < 40; ++i)
            cps += alphabet[rng() % alphabet.size()].toUcs4();
        const QString s = QString::fromUcs4(reinterpret_cast<const char32_t*>(cps.constData()), cps.size());
        QList<uint> pat;
        const int plen = 1 + int(rng() % 3);
        for (int i = 0; i < plen; ++i)
            pat += alphabet[rng() % alphabet.size()].toUcs4();
        const QString p = QString::fromUcs4(reinterpret_cast<const char32_t*>(pat.constData()), pat.size());
        const QByteArray text = s.toUtf8();

        qint64 want = -1;
        qint64 wantEnd = -1;
        qint64 offset = 0;
        for (qsizetype i = 0; i < cps.size() && want < 0; ++i) {
            bool ok = i + pat.size() <= cps.size();
            qint64 len = 0;
            for (qsizetype k = 0; ok && k < pat.size(); ++k) {
                ok = QChar::toCaseFolded(char32_t(cps[i + k])) == QChar::toCaseFolded(char32_t(pat[k]));
                const char32_t one[1] = {char32_t(cps[i + k])};
                len += QString::fromUcs4(one, 1).toUtf8().size();
            }
            if (ok) {
                want = offset;
                wantEnd = offset + len;
            }
            const char32_t one[1] = {char32_t(cps[i])};
            offset += QString::fromUcs4(one, 1).toUtf8().size();
        }
        qint64 gotEnd = -1;
        EXPECT_EQ(find(text, Encoding::Utf8, p, &gotEnd), want) << round;
        if (want >= 0) {
            EXPECT_EQ(gotEnd, wantEnd) << round;
        }
    }
}

TEST(UnicodeText, EucConversionOfEucJpGivesShiftJisAsBefore)
{
    const QByteArray euc = testsupport::readFile(testsupport::fixture("text/sample.eucjp.txt"));
    const QByteArray nkf = testsupport::readFile(testsupport::fixture("text/sample.eucjp-to-sjis.nkf.txt"));
    ASSERT_EQ(textenc::detect(euc), Encoding::Cp932);
    const QByteArray converted = ConvertEucToSjisBytes(euc);
    EXPECT_EQ(converted, nkf);
    EXPECT_EQ(textenc::detect(converted), Encoding::Cp932);
}
