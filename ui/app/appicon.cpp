#include "ui/app/appicon.h"

#include <QImageReader>
#include <QPixmap>

QIcon appIcon()
{
    // Drawn from icons/trovik32.svg by scripts/icons.sh; pixel sizes are kept
    // as bitmaps so that no SVG support is needed at run time. Read by Qt's
    // own PNG reader with format detection off: detection (as QIcon::addFile
    // does it) loads every image format plugin, a cost at every start-up.
    static const QIcon icon = [] {
        QIcon i;
        for (int size : {16, 32, 48, 128}) {
            QImageReader reader(QStringLiteral(":/trovik32/trovik32-%1.png").arg(size), "png");
            reader.setAutoDetectImageFormat(false);
            i.addPixmap(QPixmap::fromImage(reader.read()));
        }
        return i;
    }();
    return icon;
}
