#pragma once
// A list box: strings from a ListBoxModel, drawn in columns (items run top
// to bottom, then into the next column) with a fixed item height. Only the
// user's keys and mouse raise selChange; setCurSel never does.
#include <QAbstractScrollArea>

#include "core/browse/listboxmodel.h"

class ListBox : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit ListBox(int controlId, QWidget* parent = nullptr);

    ListBoxModel& model() { return model_; }
    const ListBoxModel& model() const { return model_; }
    int controlId() const { return controlId_; }

    int count() const { return model_.count(); }
    QByteArray text(int index) const { return model_.valid(index) ? model_.text(index) : QByteArray(); }
    int curSel() const { return curSel_; }
    // An index past the end (or −1) selects nothing.
    void setCurSel(int index);
    void setItemHeight(int height);
    int itemHeight() const { return itemHeight_; }
    void setColumnWidth(int width);
    int columnWidth() const { return columnWidth_; }
    // Rectangle of an item in viewport coordinates (also for index 0 of an empty list).
    QRect itemRect(int index) const;
    int indexAt(const QPoint& viewportPos) const;
    int rowsPerColumn() const;
    // The modifier keys held when the last key reached the list.
    Qt::KeyboardModifiers keyModifiers() const { return keyModifiers_; }

signals:
    void selChange();
    void dblClk();
    // Every key press reaches this before the list's own handling.
    void vkeyToItem(int virtualKey);

protected:
    // Draws one item; the base draws the text in the palette's colours.
    virtual void paintItem(QPainter& p, int index, const QRect& rect, bool selected);
    // Where an item's text stands: its baseline in an item rectangle.
    static int textBaseline(const QPainter& p, const QRect& rect);
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseDoubleClickEvent(QMouseEvent*) override;
    void focusInEvent(QFocusEvent*) override;
    void changeEvent(QEvent*) override;
    void focusOutEvent(QFocusEvent*) override;
    void scrollContentsBy(int, int) override { viewport()->update(); }

private:
    void paintFocus(QPainter& p, const QRect& rect);
    void userSelect(int index);
    void moveSelection(int index);
    void ensureVisible(int index);
    void updateScrollBars();
    int columnStep() const;

    ListBoxModel model_;
    int controlId_;
    int curSel_ = -1;
    int itemHeight_ = 16;
    int columnWidth_ = 0;  // 0: as wide as the widest item
    mutable int autoWidth_ = -1;
    Qt::KeyboardModifiers keyModifiers_;
};
