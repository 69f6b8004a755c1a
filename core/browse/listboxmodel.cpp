#include "core/browse/listboxmodel.h"

#include <algorithm>

#include "core/browse/itemtext.h"

void ListBoxModel::resetContent()
{
    items_.clear();
    notify();
}

int ListBoxModel::addString(const QByteArray& text)
{
    auto pos = items_.end();
    if (sorted_)
        pos = std::upper_bound(items_.begin(), items_.end(), text,
                               [](const QByteArray& a, const QByteArray& b) { return items::compare(a, b) < 0; });
    pos = items_.insert(pos, text);
    notify();
    return static_cast<int>(pos - items_.begin());
}

int ListBoxModel::insertString(int index, const QByteArray& text)
{
    if (index < 0 || index > count())
        index = count();
    items_.insert(items_.begin() + index, text);
    notify();
    return index;
}

void ListBoxModel::deleteString(int index)
{
    if (!valid(index))
        return;
    items_.erase(items_.begin() + index);
    notify();
}

void ListBoxModel::setItems(std::vector<QByteArray> items)
{
    items_ = std::move(items);
    notify();
}
