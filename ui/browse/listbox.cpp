#include "ui/browse/listbox.h"

#include <QKeyEvent>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QStyleOptionFocusRect>

#include <algorithm>

#include "core/browse/itemtext.h"
#include "ui/browse/vkeys.h"

ListBox::ListBox(int controlId, QWidget* parent) : QAbstractScrollArea(parent), controlId_(controlId)
{
    setFocusPolicy(Qt::StrongFocus);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    viewport()->setAutoFillBackground(true);
    QPalette pal = viewport()->palette();
    pal.setColor(QPalette::Base, Qt::white);
    pal.setColor(QPalette::Window, Qt::white);
    viewport()->setPalette(pal);
    viewport()->setBackgroundRole(QPalette::Base);
    model_.changed = [this] {
        autoWidth_ = -1;
        if (!model_.valid(curSel_))
            curSel_ = -1;
        updateScrollBars();
        viewport()->update();
    };
}

void ListBox::setItemHeight(int height)
{
    itemHeight_ = std::max(1, height);
    updateScrollBars();
    viewport()->update();
}

void ListBox::setColumnWidth(int width)
{
    columnWidth_ = width;
    updateScrollBars();
    viewport()->update();
}

int ListBox::columnStep() const
{
    if (columnWidth_ > 0)
        return columnWidth_;
    // No width set: wide enough for the widest item.
    if (autoWidth_ < 0) {
        int widest = 1;
        for (const QByteArray& t : model_.items())
            widest = std::max(widest, items::sjisWidth(t));
        autoWidth_ = widest * fontMetrics().horizontalAdvance(QLatin1Char('0')) + 8;
    }
    return std::max(autoWidth_, 16);
}

int ListBox::rowsPerColumn() const
{
    return std::max(1, viewport()->height() / itemHeight_);
}

QRect ListBox::itemRect(int index) const
{
    const int rows = rowsPerColumn();
    const int col = index / rows - horizontalScrollBar()->value();
    return QRect(col * columnStep(), (index % rows) * itemHeight_, columnStep(), itemHeight_);
}

int ListBox::indexAt(const QPoint& pos) const
{
    if (pos.x() < 0 || pos.y() < 0)
        return -1;
    const int rows = rowsPerColumn();
    const int row = pos.y() / itemHeight_;
    if (row >= rows)
        return -1;
    const int index = (pos.x() / columnStep() + horizontalScrollBar()->value()) * rows + row;
    return index < count() ? index : -1;
}

void ListBox::updateScrollBars()
{
    const int rows = rowsPerColumn();
    const int columns = (count() + rows - 1) / rows;
    const int visible = std::max(1, viewport()->width() / columnStep());
    horizontalScrollBar()->setRange(0, std::max(0, columns - visible));
    horizontalScrollBar()->setPageStep(visible);
}

void ListBox::ensureVisible(int index)
{
    if (index < 0)
        return;
    const int col = index / rowsPerColumn();
    const int visible = std::max(1, viewport()->width() / columnStep());
    QScrollBar* bar = horizontalScrollBar();
    if (col < bar->value())
        bar->setValue(col);
    else if (col >= bar->value() + visible)
        bar->setValue(col - visible + 1);
}

void ListBox::moveSelection(int index)
{
    const int old = curSel_;
    const int scrolled = horizontalScrollBar()->value();
    curSel_ = index;
    ensureVisible(curSel_);
    if (scrolled != horizontalScrollBar()->value()) {
        viewport()->update();
        return;
    }
    // Only the two items whose look changed (and item 0, where an empty selection keeps the focus frame).
    for (int i : {old, curSel_})
        viewport()->update(itemRect(i < 0 ? 0 : i));
}

void ListBox::setCurSel(int index)
{
    moveSelection(model_.valid(index) ? index : -1);
}

void ListBox::userSelect(int index)
{
    if (count() == 0)
        return;
    moveSelection(std::clamp(index, 0, count() - 1));
    emit selChange();
}

void ListBox::paintItem(QPainter& p, int index, const QRect& rect, bool selected)
{
    p.fillRect(rect, selected ? palette().color(QPalette::Highlight) : palette().color(QPalette::Base));
    p.setPen(selected ? palette().color(QPalette::HighlightedText) : palette().color(QPalette::Text));
    p.drawText(rect.left(), textBaseline(p, rect), items::displayText(model_.text(index)));
}

int ListBox::textBaseline(const QPainter& p, const QRect& rect)
{
    // Accents above capitals (Ü, Ö, Å) reach above the ascent many fonts
    // declare: the text stands low enough for them, centred when the item is
    // taller than the text.
    const QFontMetrics fm(p.font());
    const int above = std::max(fm.ascent(), -fm.boundingRect(QStringLiteral("ÅÉÖÜ")).top());
    return rect.top() + std::max(0, (rect.height() - above - fm.descent()) / 2) + above;
}

void ListBox::paintFocus(QPainter& p, const QRect& rect)
{
    QStyleOptionFocusRect opt;
    opt.initFrom(this);
    opt.rect = rect;
    opt.backgroundColor = Qt::white;
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &opt, &p, this);
    // A dotted rectangle as list boxes draw it, whatever the style does.
    QPen pen(Qt::black, 1, Qt::DotLine);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawRect(rect.adjusted(0, 0, -1, -1));
}

void ListBox::paintEvent(QPaintEvent* e)
{
    QPainter p(viewport());
    p.setFont(font());
    const QRect area = e->rect();
    const int rows = rowsPerColumn();
    const int first = horizontalScrollBar()->value() * rows;
    const int last = std::min(count(), first + (viewport()->width() / columnStep() + 2) * rows);
    for (int i = first; i < last; ++i) {
        const QRect r = itemRect(i);
        if (r.intersects(area))
            paintItem(p, i, r, i == curSel_);
    }
    if (hasFocus())
        paintFocus(p, itemRect(curSel_ >= 0 ? curSel_ : 0));
}

void ListBox::resizeEvent(QResizeEvent* e)
{
    QAbstractScrollArea::resizeEvent(e);
    updateScrollBars();
    ensureVisible(curSel_);
}

void ListBox::keyPressEvent(QKeyEvent* e)
{
    keyModifiers_ = e->modifiers();
    QPointer<ListBox> self(this);
    emit vkeyToItem(virtualKeyOf(e));
    if (!self || !isVisible())
        return;  // the key closed the window or left the list
    const int rows = rowsPerColumn();
    const int page = rows * std::max(1, viewport()->width() / columnStep());
    const int cur = curSel_;
    switch (e->key()) {
    case Qt::Key_Up: userSelect(cur < 0 ? 0 : cur - 1); return;
    case Qt::Key_Down: userSelect(cur < 0 ? 0 : cur + 1); return;
    case Qt::Key_Left: userSelect(cur < 0 ? 0 : (cur - rows >= 0 ? cur - rows : cur)); return;
    case Qt::Key_Right: userSelect(cur < 0 ? 0 : (cur + rows < count() ? cur + rows : cur)); return;
    case Qt::Key_PageUp: userSelect(cur < 0 ? 0 : cur - page); return;
    case Qt::Key_PageDown: userSelect(cur < 0 ? 0 : cur + page); return;
    case Qt::Key_Home: userSelect(0); return;
    case Qt::Key_End: userSelect(count() - 1); return;
    default: break;
    }
    const QString typed = e->text();
    if (typed.size() == 1 && typed[0].isPrint() && !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier))
        && count() > 0) {
        // A typed character jumps to the next item beginning with it.
        const QByteArray c = typed.toUtf8().toLower();
        for (int k = 1; k <= count(); ++k) {
            const int i = ((cur < 0 ? -1 : cur) + k) % count();
            if (model_.text(i).toLower().startsWith(c)) {
                userSelect(i);
                return;
            }
        }
        return;
    }
    QAbstractScrollArea::keyPressEvent(e);
}

void ListBox::mousePressEvent(QMouseEvent* e)
{
    setFocus(Qt::MouseFocusReason);
    const int i = indexAt(e->position().toPoint());
    if (i >= 0 && e->button() == Qt::LeftButton)
        userSelect(i);
}

void ListBox::mouseDoubleClickEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton && indexAt(e->position().toPoint()) >= 0)
        emit dblClk();
}

void ListBox::changeEvent(QEvent* e)
{
    if (e->type() == QEvent::FontChange) {
        autoWidth_ = -1;
        updateScrollBars();
    }
    QAbstractScrollArea::changeEvent(e);
}

void ListBox::focusInEvent(QFocusEvent* e)
{
    QAbstractScrollArea::focusInEvent(e);
    viewport()->update();
}

void ListBox::focusOutEvent(QFocusEvent* e)
{
    QAbstractScrollArea::focusOutEvent(e);
    viewport()->update();
}
