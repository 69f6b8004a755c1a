// The code page 932 table against ICU's windows-31j converter, and the
// placeholder rules for bytes that do not decode.
#include <gtest/gtest.h>

#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>

#include <memory>

#include "core/viewer/cp932.h"

namespace {

struct Converter {
    UConverter* cnv = nullptr;
    Converter()
    {
        UErrorCode err = U_ZERO_ERROR;
        cnv = ucnv_open("windows-31j", &err);
        EXPECT_TRUE(U_SUCCESS(err)) << u_errorName(err);
        // Report unmapped and illegal input instead of substituting.
        ucnv_setToUCallBack(cnv, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &err);
        ucnv_setFromUCallBack(cnv, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &err);
    }
    ~Converter() { ucnv_close(cnv); }

    // The one UTF-16 unit ICU decodes the bytes to, or 0 when it refuses them.
    char16_t decode(const char* bytes, int len) const
    {
        UErrorCode err = U_ZERO_ERROR;
        UChar out[4];
        ucnv_reset(cnv);
        const int n = ucnv_toUChars(cnv, out, 4, bytes, len, &err);
        return (U_SUCCESS(err) && n == 1) ? out[0] : 0;
    }

    QByteArray encode(char16_t c) const
    {
        UErrorCode err = U_ZERO_ERROR;
        char out[8];
        ucnv_reset(cnv);
        const UChar in[1] = {c};
        const int n = ucnv_fromUChars(cnv, out, sizeof out, in, 1, &err);
        return U_SUCCESS(err) ? QByteArray(out, n) : QByteArray();
    }
};

}  // namespace

TEST(Cp932Table, EveryDoubleByteCodeDecodesAsIcuDoes)
{
    Converter icu;
    int mapped = 0;
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (!cp932::isLeadByte(lead))
            continue;
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            if (!cp932::isTrailByte(trail))
                continue;
            const char pair[2] = {char(lead), char(trail)};
            const char16_t expected = icu.decode(pair, 2);
            ASSERT_EQ(cp932::decodePair(lead, trail), expected) << std::hex << lead << " " << trail;
            if (expected) {
                ++mapped;
                EXPECT_EQ(cp932::toUnicode(QByteArray(pair, 2)), QString(QChar(expected)));
            } else {
                EXPECT_EQ(cp932::toUnicode(QByteArray(pair, 2)), QString(2, QChar(cp932::kPlaceholder)));
            }
        }
    }
    // JIS X 0208, the NEC and IBM rows and the 1880 user-defined codes.
    EXPECT_GT(mapped, 9000);
}

TEST(Cp932Table, SingleBytesDecodeAsIcuDoes)
{
    Converter icu;
    for (int b = 0; b <= 0xFF; ++b) {
        if (cp932::isLeadByte(b))
            continue;
        const char byte = char(b);
        // ICU's converter behind "windows-31j" (ibm-943) swaps the control
        // codes 0x1A, 0x1C and 0x7F the IBM way; Windows keeps them as they are.
        if (b == 0x1A || b == 0x1C || b == 0x7F) {
            EXPECT_EQ(cp932::decodeSingle(b), char16_t(b));
            continue;
        }
        char16_t expected = icu.decode(&byte, 1);
        // ICU hands back its substitute character 0x1A for 0x80, 0xA0, 0xFD-0xFF.
        if (expected == 0x1A)
            expected = 0;
        EXPECT_EQ(cp932::decodeSingle(b), expected) << std::hex << b;
    }
}

TEST(Cp932Table, UserDefinedAreaAndExtensionRows)
{
    EXPECT_EQ(cp932::decodePair(0xF0, 0x40), u'\uE000');
    EXPECT_EQ(cp932::decodePair(0xF9, 0xFC), u'\uE757');
    EXPECT_EQ(cp932::decodePair(0x87, 0x40), u'\u2460');  // NEC row 13: circled 1
    EXPECT_EQ(cp932::decodePair(0xFA, 0x40), u'\u2170');  // IBM extension: small roman 1
    EXPECT_EQ(cp932::decodePair(0x81, 0x60), u'\uFF5E');  // Microsoft's wave dash
    EXPECT_EQ(cp932::decodePair(0x81, 0x61), u'\u2225');
}

TEST(Cp932Encode, EveryCharacterEncodesAsIcuDoes)
{
    Converter icu;
    int checked = 0;
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            const char16_t c = cp932::decodePair(lead, trail);
            if (!c)
                continue;
            const QByteArray ours = cp932::fromUnicode(QString(QChar(c)));
            // Duplicates (NEC and IBM rows) encode to one of their codes; it
            // must decode back to the same character and agree with ICU.
            ASSERT_EQ(ours.size(), 2);
            EXPECT_EQ(cp932::decodePair(ours[0], ours[1]), c);
            EXPECT_EQ(ours, icu.encode(c)) << std::hex << int(c);
            ++checked;
        }
    }
    EXPECT_GT(checked, 9000);
}

TEST(Cp932Encode, ProgramTextsAndMissingCharacters)
{
    EXPECT_EQ(cp932::fromUnicode(QStringLiteral("ファイルオープンに失敗")),
              QByteArray("\x83\x74\x83\x40\x83\x43\x83\x8B\x83\x49\x81\x5B\x83\x76\x83\x93\x82\xC9\x8E\xB8\x94\x73"));
    EXPECT_EQ(cp932::fromUnicode(QStringLiteral("ｷｬﾝｾﾙ abc")), QByteArray("\xB7\xAC\xDD\xBE\xD9 abc"));
    EXPECT_EQ(cp932::fromUnicode(QStringLiteral("a\u00E9b")), QByteArray("a?b"));
    // A character outside the BMP is a surrogate pair: one '?' per half.
    EXPECT_EQ(cp932::fromUnicode(QString::fromUcs4(U"\U0001F600")), QByteArray("??"));
}

TEST(Cp932Decode, BadBytesAreOnePlaceholderEachAndKeepTheNextByte)
{
    const QChar ph(cp932::kPlaceholder);
    // A lead byte whose next byte cannot be a trail byte stands alone.
    EXPECT_EQ(cp932::toUnicode(QByteArray("\x81\x0A" "A")), QString(ph) + QStringLiteral("\nA"));
    EXPECT_EQ(cp932::toUnicode(QByteArray("\x82\x7F")), QString(ph) + QChar(0x7F));
    // A lead byte followed by a lead byte pairs with it (well-formed pair).
    EXPECT_EQ(cp932::toUnicode(QByteArray("\x82\xA0\x82")), QStringLiteral("あ") + ph);
    // No character at all, and an unassigned but well-formed pair.
    EXPECT_EQ(cp932::toUnicode(QByteArray("\x80\xA0\xFD\xFE\xFF")), QString(5, ph));
    EXPECT_EQ(cp932::toUnicode(QByteArray("x\x85\x40y")), QString(QChar(u'x')) + ph + ph + QChar(u'y'));
    // Half-width katakana and a NUL byte are characters.
    EXPECT_EQ(cp932::toUnicode(QByteArray("\xB1\x00\xDF", 3)), QString(QChar(0xFF71)) + QChar(0) + QChar(0xFF9F));
    EXPECT_EQ(cp932::toUnicode(QByteArray()), QString());
}
