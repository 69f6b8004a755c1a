#include "core/settings/settings.h"

#include <algorithm>

namespace {

constexpr int kMaxFontHeight = 1000;

void loadLogFont(Profile& p, const QString& section, LOGFONT& lf)
{
    const LOGFONT def;
    auto byte = [&](const char* key, uint8_t d) { return static_cast<uint8_t>(p.readInt(section, QLatin1String(key), d) & 0xFF); };
    lf.lfHeight = p.readInt(section, QStringLiteral("lfHeight"), def.lfHeight);
    // No screen font is over 1000 pixels: a larger height is a damaged value.
    if (lf.lfHeight < -kMaxFontHeight || lf.lfHeight > kMaxFontHeight)
        lf.lfHeight = def.lfHeight;
    lf.lfWidth = p.readInt(section, QStringLiteral("lfWidth"), def.lfWidth);
    lf.lfEscapement = p.readInt(section, QStringLiteral("lfEscapement"), def.lfEscapement);
    lf.lfOrientation = p.readInt(section, QStringLiteral("lfOrientation"), def.lfOrientation);
    lf.lfWeight = p.readInt(section, QStringLiteral("lfWeight"), def.lfWeight);
    lf.lfItalic = byte("lfItalic", def.lfItalic);
    lf.lfUnderline = byte("lfUnderline", def.lfUnderline);
    lf.lfStrikeOut = byte("lfStrikeOut", def.lfStrikeOut);
    lf.lfCharSet = byte("lfCharSet", def.lfCharSet);
    lf.lfOutPrecision = byte("lfOutPrecision", def.lfOutPrecision);
    lf.lfClipPrecision = byte("lfClipPrecision", def.lfClipPrecision);
    lf.lfQuality = byte("lfQuality", def.lfQuality);
    lf.lfPitchAndFamily = byte("lfPitchAndFamily", def.lfPitchAndFamily);
    lf.setFaceName(p.readString(section, QStringLiteral("lfFaceName"), QByteArray(def.faceName().c_str())).toStdString());
}

void saveLogFont(Profile& p, const QString& section, const LOGFONT& lf)
{
    p.writeInt(section, QStringLiteral("lfHeight"), lf.lfHeight);
    p.writeInt(section, QStringLiteral("lfWidth"), lf.lfWidth);
    p.writeInt(section, QStringLiteral("lfEscapement"), lf.lfEscapement);
    p.writeInt(section, QStringLiteral("lfOrientation"), lf.lfOrientation);
    p.writeInt(section, QStringLiteral("lfWeight"), lf.lfWeight);
    // Byte fields go out as their unsigned value: 255 stays 255.
    p.writeInt(section, QStringLiteral("lfItalic"), lf.lfItalic);
    p.writeInt(section, QStringLiteral("lfUnderline"), lf.lfUnderline);
    p.writeInt(section, QStringLiteral("lfStrikeOut"), lf.lfStrikeOut);
    p.writeInt(section, QStringLiteral("lfCharSet"), lf.lfCharSet);
    p.writeInt(section, QStringLiteral("lfOutPrecision"), lf.lfOutPrecision);
    p.writeInt(section, QStringLiteral("lfClipPrecision"), lf.lfClipPrecision);
    p.writeInt(section, QStringLiteral("lfQuality"), lf.lfQuality);
    p.writeInt(section, QStringLiteral("lfPitchAndFamily"), lf.lfPitchAndFamily);
    p.writeString(section, QStringLiteral("lfFaceName"), QByteArray(lf.faceName().c_str()));
}

const QString kListFont = QStringLiteral("ListFont");
const QString kEditFont = QStringLiteral("EditFont");
const QString kMargin = QStringLiteral("P_Margin");
const QString kPath = QStringLiteral("Path");
const QString kWinPos = QStringLiteral("WinPos");

}  // namespace

void loadSettings(Profile& p, Settings& s)
{
    const Settings def;
    s.listItemHeight = p.readInt(kListFont, QStringLiteral("ListlfHeight"), def.listItemHeight);
    // The list box takes item heights of 1 to 255 pixels.
    if (s.listItemHeight < 1 || s.listItemHeight > 255)
        s.listItemHeight = def.listItemHeight;
    loadLogFont(p, kListFont, s.listLogFont);
    s.editPointSize = p.readInt(kEditFont, QStringLiteral("point"), def.editPointSize);
    loadLogFont(p, kEditFont, s.editLogFont);
    s.marginTop = p.readInt(kMargin, QStringLiteral("top"), def.marginTop);
    s.marginBottom = p.readInt(kMargin, QStringLiteral("bottom"), def.marginBottom);
    s.marginRight = p.readInt(kMargin, QStringLiteral("right"), def.marginRight);
    s.marginLeft = p.readInt(kMargin, QStringLiteral("left"), def.marginLeft);
    s.startPath = p.readString(kPath, QStringLiteral("StartPath"), def.startPath);
    s.editorPath = p.readString(kPath, QStringLiteral("EditorPath"), def.editorPath);
}

void saveSettings(Profile& p, const Settings& s, const WindowRect& rect)
{
    p.writeInt(kListFont, QStringLiteral("ListlfHeight"), s.listItemHeight);
    saveLogFont(p, kListFont, s.listLogFont);
    p.writeInt(kEditFont, QStringLiteral("point"), s.editPointSize);
    saveLogFont(p, kEditFont, s.editLogFont);
    p.writeInt(kMargin, QStringLiteral("top"), s.marginTop);
    p.writeInt(kMargin, QStringLiteral("bottom"), s.marginBottom);
    p.writeInt(kMargin, QStringLiteral("right"), s.marginRight);
    p.writeInt(kMargin, QStringLiteral("left"), s.marginLeft);
    saveWindowRect(p, rect);
    p.writeString(kPath, QStringLiteral("StartPath"), s.startPath);
    p.writeString(kPath, QStringLiteral("EditorPath"), s.editorPath);
}

WindowRect loadWindowRect(Profile& p)
{
    WindowRect r;
    r.top = p.readInt(kWinPos, QStringLiteral("top"), 0);
    r.bottom = p.readInt(kWinPos, QStringLiteral("bottom"), 150);
    r.left = p.readInt(kWinPos, QStringLiteral("left"), 0);
    r.right = p.readInt(kWinPos, QStringLiteral("right"), 200);
    return r;
}

void saveWindowRect(Profile& p, const WindowRect& r)
{
    p.writeInt(kWinPos, QStringLiteral("top"), r.top);
    p.writeInt(kWinPos, QStringLiteral("bottom"), r.bottom);
    p.writeInt(kWinPos, QStringLiteral("left"), r.left);
    p.writeInt(kWinPos, QStringLiteral("right"), r.right);
}

WindowRect placeWindow(const WindowRect& saved, const std::vector<WindowRect>& screens)
{
    // 64 bits throughout: the saved values are any 32-bit integers.
    const qint64 left = saved.left, top = saved.top, right = saved.right, bottom = saved.bottom;
    const qint64 width = right - left, height = bottom - top;
    if (width <= 0 || height <= 0 || width > kMaxWindowExtent || height > kMaxWindowExtent)
        return WindowRect{};
    // The title bar sits just above the top edge; a window can be taken by it
    // when any part of that strip, or of the window's first rows, is on a screen.
    const qint64 stripTop = top - kTitleStrip;
    const qint64 stripBottom = top + std::min<qint64>(height, kTitleStrip);
    for (const WindowRect& s : screens) {
        const qint64 x0 = std::max<qint64>(left, s.left), x1 = std::min<qint64>(right, s.right);
        const qint64 y0 = std::max<qint64>(stripTop, s.top), y1 = std::min<qint64>(stripBottom, s.bottom);
        if (x0 < x1 && y0 < y1)
            return saved;
    }
    return WindowRect{};
}
