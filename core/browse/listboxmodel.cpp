#include "core/browse/listboxmodel.h"

void ListBoxModel::resetContent()
{
    items_.clear();
    notify();
}

int ListBoxModel::insertString(int index, const QByteArray& text)
{
    if (index < 0 || index > count())
        index = count();
    items_.insert(items_.begin() + index, text);
    notify();
    return index;
}

void ListBoxModel::setItems(std::vector<QByteArray> items)
{
    items_ = std::move(items);
    notify();
}
