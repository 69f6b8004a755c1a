#include "ui/app/appicon.h"

QIcon appIcon()
{
    // Drawn from icons/trovik32.svg by scripts/icons.sh; pixel sizes are kept
    // as bitmaps so that no SVG support is needed at run time.
    static const QIcon icon = [] {
        QIcon i;
        for (int size : {16, 32, 48, 128})
            i.addFile(QStringLiteral(":/trovik32/trovik32-%1.png").arg(size), QSize(size, size));
        return i;
    }();
    return icon;
}
