#pragma once
// The contents of a list box: strings with the list box's operations. Callers
// hand over items already in list order (sorted by the item collation);
// insertion at an index does not sort.
#include <QByteArray>

#include <functional>
#include <vector>

#include "core/browse/itemtext.h"

class ListBoxModel {
public:

    int count() const { return static_cast<int>(items_.size()); }
    const QByteArray& text(int index) const { return items_[static_cast<size_t>(index)]; }
    items::Kind kind(int index) const { return kinds_[static_cast<size_t>(index)]; }
    bool valid(int index) const { return index >= 0 && index < count(); }

    void resetContent();
    // Inserts at index (−1 or count: at the end) without sorting.
    int insertString(int index, const QByteArray& text, items::Kind kind = items::Kind::File);
    // Replaces the whole content at once (the items are already in list order).
    // Without kinds every item is a file.
    void setItems(std::vector<QByteArray> items, std::vector<items::Kind> kinds = {});
    const std::vector<QByteArray>& items() const { return items_; }
    const std::vector<items::Kind>& kinds() const { return kinds_; }

    // Called after every change, so a widget can repaint.
    std::function<void()> changed;

private:
    void notify() { if (changed) changed(); }
    std::vector<QByteArray> items_;
    std::vector<items::Kind> kinds_;  // one per item
};
