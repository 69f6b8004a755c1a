#include "ui/browse/listbox.h"

#include <QKeyEvent>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QStyleOptionFocusRect>

#include <algorithm>

#include "core/browse/itemtext.h"
#include "ui/browse/vkeys.h"

ListBox::ListBox(int controlId, bool sorted, QWidget* parent)
    : QAbstractScrollArea(parent), model_(sorted), controlId_(controlId)
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
    if (!multiColumn_)
        return viewport()->width();
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
    if (!multiColumn_)
        return std::max(1, count());
    return std::max(1, viewport()->height() / itemHeight_);
}

int ListBox::firstVisible() const
{
    return multiColumn_ ? horizontalScrollBar()->value() * rowsPerColumn() : verticalScrollBar()->value();
}

QRect ListBox::itemRect(int index) const
{
    if (multiColumn_) {
        const int rows = rowsPerColumn();
        const int col = index / rows - horizontalScrollBar()->value();
        return QRect(col * columnStep(), (index % rows) * itemHeight_, columnStep(), itemHeight_);
    }
    return QRect(0, (index - verticalScrollBar()->value()) * itemHeight_, viewport()->width(), itemHeight_);
}

int ListBox::indexAt(const QPoint& pos) const
{
    if (pos.x() < 0 || pos.y() < 0)
        return -1;
    int index;
    if (multiColumn_) {
        const int rows = rowsPerColumn();
        const int row = pos.y() / itemHeight_;
        if (row >= rows)
            return -1;
        index = (pos.x() / columnStep() + horizontalScrollBar()->value()) * rows + row;
    } else {
        index = pos.y() / itemHeight_ + verticalScrollBar()->value();
    }
    return index < count() ? index : -1;
}

void ListBox::updateScrollBars()
{
    if (multiColumn_) {
        const int rows = rowsPerColumn();
        const int columns = (count() + rows - 1) / rows;
        const int visible = std::max(1, viewport()->width() / columnStep());
        horizontalScrollBar()->setRange(0, std::max(0, columns - visible));
        horizontalScrollBar()->setPageStep(visible);
    } else {
        const int visible = std::max(1, viewport()->height() / itemHeight_);
        verticalScrollBar()->setRange(0, std::max(0, count() - visible));
        verticalScrollBar()->setPageStep(visible);
    }
}

void ListBox::ensureVisible(int index)
{
    if (index < 0)
        return;
    if (multiColumn_) {
        const int col = index / rowsPerColumn();
        const int visible = std::max(1, viewport()->width() / columnStep());
        QScrollBar* bar = horizontalScrollBar();
        if (col < bar->value())
            bar->setValue(col);
        else if (col >= bar->value() + visible)
            bar->setValue(col - visible + 1);
    } else {
        const int visible = std::max(1, viewport()->height() / itemHeight_);
        QScrollBar* bar = verticalScrollBar();
        if (index < bar->value())
            bar->setValue(index);
        else if (index >= bar->value() + visible)
            bar->setValue(index - visible + 1);
    }
}

void ListBox::moveSelection(int index)
{
    const int old = curSel_;
    const int scrolled = horizontalScrollBar()->value() + verticalScrollBar()->value();
    curSel_ = index;
    ensureVisible(curSel_);
    if (scrolled != horizontalScrollBar()->value() + verticalScrollBar()->value()) {
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
    p.drawText(rect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, QString::fromUtf8(model_.text(index)));
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
    const int first = firstVisible();
    if (multiColumn_) {
        const int rows = rowsPerColumn();
        const int visibleColumns = viewport()->width() / columnStep() + 2;
        const int last = std::min(count(), first + visibleColumns * rows);
        for (int i = first; i < last; ++i) {
            const QRect r = itemRect(i);
            if (r.intersects(area))
                paintItem(p, i, r, i == curSel_);
        }
    } else {
        const int last = std::min(count(), first + viewport()->height() / itemHeight_ + 2);
        for (int i = first; i < last; ++i)
            paintItem(p, i, itemRect(i), i == curSel_);
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
    const int rows = multiColumn_ ? rowsPerColumn() : 1;
    const int page = multiColumn_ ? rows * std::max(1, viewport()->width() / columnStep())
                                  : std::max(1, viewport()->height() / itemHeight_);
    const int cur = curSel_;
    switch (e->key()) {
    case Qt::Key_Up: userSelect(cur < 0 ? 0 : cur - 1); return;
    case Qt::Key_Down: userSelect(cur < 0 ? 0 : cur + 1); return;
    case Qt::Key_Left: if (multiColumn_) userSelect(cur < 0 ? 0 : (cur - rows >= 0 ? cur - rows : cur)); return;
    case Qt::Key_Right: if (multiColumn_) userSelect(cur < 0 ? 0 : (cur + rows < count() ? cur + rows : cur)); return;
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
