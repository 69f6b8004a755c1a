#include "core/browse/listboxmodel.h"

void ListBoxModel::resetContent()
{
    items_.clear();
    kinds_.clear();
    notify();
}

int ListBoxModel::insertString(int index, const QByteArray& text, items::Kind kind)
{
    if (index < 0 || index > count())
        index = count();
    items_.insert(items_.begin() + index, text);
    kinds_.insert(kinds_.begin() + index, kind);
    notify();
    return index;
}

void ListBoxModel::setItems(std::vector<QByteArray> items, std::vector<items::Kind> kinds)
{
    items_ = std::move(items);
    kinds_ = std::move(kinds);
    kinds_.resize(items_.size(), items::Kind::File);
    notify();
}
