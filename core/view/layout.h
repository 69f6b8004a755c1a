#pragma once
// Pane geometry of the view.
#include <QByteArray>
#include <QRect>

struct ListLayout {
    QRect fileList;
    QRect bottom;  // the sub list and the content pane share it
};

// The file list over the top third (T = H / 3), the bottom panes below it; the
// pixel row at y = T stays uncovered.
inline ListLayout listLayout(int width, int height)
{
    const int t = height / 3;
    return {QRect(0, 0, width, t), QRect(0, t + 1, width, height - t - 1)};
}

// Levels below the drive root: the backslashes in a folder path.
inline int countBackslashes(const QByteArray& path) { return static_cast<int>(path.count('\\')); }

// A start path naming a file is cut at its last backslash (searched from the
// last byte down to the second); paths of two bytes or less stay as they are.
inline QByteArray cutAtLastBackslash(const QByteArray& path)
{
    for (qsizetype i = path.size() - 1; i >= 1; --i)
        if (path[i] == '\\')
            return path.left(i);
    return path;
}
