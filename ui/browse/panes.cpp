#include "ui/browse/panes.h"

#include <QPainter>

#include "core/browse/itemtext.h"

CListBox_File::CListBox_File(QWidget* parent) : ListBox(61446, parent) {}

QRgb CListBox_File::textColour(items::Kind kind)
{
    if (kind == items::Kind::Drive)
        return kDriveColour;
    if (items::isFolderLike(kind))
        return kFolderColour;
    return kFileColour;
}

void CListBox_File::paintItem(QPainter& p, int index, const QRect& rect, bool selected)
{
    // Opaque: the whole item rectangle takes the background, the text is
    // drawn at its top-left corner and clipped to it.
    const QByteArray& t = model().text(index);
    p.save();
    p.setClipRect(rect);
    p.fillRect(rect, QColor(selected ? kSelectedBackground : kBackground));
    p.setPen(QColor(textColour(model().kind(index))));
    p.drawText(rect.left(), textBaseline(p, rect), items::displayText(t));
    p.restore();
}
