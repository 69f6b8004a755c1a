#include "core/settings/fontchoice.h"

int itemHeightFor(int dpiY, int pointTenths)
{
    return static_cast<int>(static_cast<long long>(dpiY) * pointTenths / 720);
}

LOGFONT applyFontChoice(const LOGFONT& before, const FontChoice& choice, int dpiY)
{
    LOGFONT lf = before;
    // Points to pixels, rounded to the nearest pixel.
    const long long px = (static_cast<long long>(choice.pointTenths) * dpiY + 360) / 720;
    lf.lfHeight = -static_cast<int32_t>(px > 0 ? px : 1);
    lf.lfWidth = 0;
    lf.lfWeight = choice.weight;
    lf.lfItalic = choice.italic ? 1 : 0;
    std::string face = choice.family;
    size_t n = face.size() < lf.lfFaceName.size() - 1 ? face.size() : lf.lfFaceName.size() - 1;
    // Never end inside a UTF-8 sequence.
    while (n > 0 && n < face.size() && (static_cast<unsigned char>(face[n]) & 0xC0) == 0x80)
        --n;
    lf.setFaceName(std::string_view(face).substr(0, n));
    return lf;
}
