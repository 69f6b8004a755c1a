#include "ui/fontmap.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QStringList>

#include <algorithm>

namespace {
QString japaneseFallbackFamily()
{
    static const QString family = [] {
        const QStringList families = QFontDatabase::families(QFontDatabase::Japanese);
        for (const QString& preferred : {QStringLiteral("IPAGothic"), QStringLiteral("IPAexGothic"),
                                         QStringLiteral("Noto Sans CJK JP"), QStringLiteral("Noto Sans Mono CJK JP")}) {
            if (families.contains(preferred))
                return preferred;
        }
        return families.isEmpty() ? QString() : families.first();
    }();
    return family;
}
}

QFont fontFromLogFont(const LOGFONT& lf)
{
    QString face = QString::fromUtf8(lf.faceName().c_str());
    QFont font;
    if (face.isEmpty() || face.compare(QLatin1String("System"), Qt::CaseInsensitive) == 0
        || !QFontDatabase::families().contains(face))
        face = japaneseFallbackFamily();
    font.setFamilies({face, japaneseFallbackFamily()});
    qint64 height = lf.lfHeight;  // 64 bits: any 32-bit height converts without overflow
    if (height == 0)
        height = 16;
    // A positive height is the cell height; the character height is about
    // seven eighths of it for the fonts in use here.
    const qint64 pixels = height < 0 ? -height : (height * 7 + 4) / 8;
    font.setPixelSize(static_cast<int>(std::clamp<qint64>(pixels, 1, 0xFFFF)));
    if (lf.lfWeight > 0)
        font.setWeight(static_cast<QFont::Weight>(qBound(1, lf.lfWeight, 1000)));
    font.setItalic(lf.lfItalic != 0);
    font.setUnderline(lf.lfUnderline != 0);
    font.setStrikeOut(lf.lfStrikeOut != 0);
    font.setStyleStrategy(QFont::PreferDefault);
    return font;
}
