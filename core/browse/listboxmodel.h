#pragma once
// The contents of a list box: strings with the list box's operations. Callers
// hand over items already in list order (sorted by the item collation);
// insertion at an index does not sort.
#include <QByteArray>

#include <functional>
#include <vector>

class ListBoxModel {
public:

    int count() const { return static_cast<int>(items_.size()); }
    const QByteArray& text(int index) const { return items_[static_cast<size_t>(index)]; }
    bool valid(int index) const { return index >= 0 && index < count(); }

    void resetContent();
    // Inserts at index (−1 or count: at the end) without sorting.
    int insertString(int index, const QByteArray& text);
    // Replaces the whole content at once (the items are already in list order).
    void setItems(std::vector<QByteArray> items);
    const std::vector<QByteArray>& items() const { return items_; }

    // Called after every change, so a widget can repaint.
    std::function<void()> changed;

private:
    void notify() { if (changed) changed(); }
    std::vector<QByteArray> items_;
};
