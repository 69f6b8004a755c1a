#pragma once
// The remembered file-list selection of every folder level: the entry at
// depth is the index to select after the current folder is listed. It grows
// as deep as the folders go.
#include <vector>

class SelectionStack {
public:
    int& operator[](int depth)
    {
        if (depth < 0)
            depth = 0;
        if (static_cast<size_t>(depth) >= entries_.size())
            entries_.resize(static_cast<size_t>(depth) + 1, 0);
        return entries_[static_cast<size_t>(depth)];
    }
    size_t size() const { return entries_.size(); }

    // Entering a folder or archive: the level remembers the item opened, the new level starts at 0.
    void descend(int& depth, int selected)
    {
        (*this)[depth] = selected;
        ++depth;
        (*this)[depth] = 0;
    }
    // Leaving a level: its entry is cleared and the parent's entry selects the item come back through.
    void ascend(int& depth)
    {
        (*this)[depth] = 0;
        if (depth > 0)
            --depth;
    }

private:
    std::vector<int> entries_ = std::vector<int>(128, 0);
};
