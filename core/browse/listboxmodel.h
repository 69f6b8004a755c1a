#pragma once
// The contents of a list box: strings with the list box's operations. A sorted
// list box inserts with the item collation; insertion at an index does not sort.
#include <QByteArray>

#include <functional>
#include <vector>

class ListBoxModel {
public:
    explicit ListBoxModel(bool sorted = true) : sorted_(sorted) {}

    int count() const { return static_cast<int>(items_.size()); }
    const QByteArray& text(int index) const { return items_[static_cast<size_t>(index)]; }
    bool valid(int index) const { return index >= 0 && index < count(); }

    void resetContent();
    // Sorted insertion for a sorted list box, appending otherwise. Returns the index.
    int addString(const QByteArray& text);
    // Inserts at index (−1 or count: at the end) without sorting.
    int insertString(int index, const QByteArray& text);
    void deleteString(int index);
    // Replaces the whole content at once (the items are already in list order).
    void setItems(std::vector<QByteArray> items);
    const std::vector<QByteArray>& items() const { return items_; }

    // Called after every change, so a widget can repaint.
    std::function<void()> changed;

private:
    void notify() { if (changed) changed(); }
    bool sorted_;
    std::vector<QByteArray> items_;
};
