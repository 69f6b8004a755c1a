#pragma once
// Texts of the folder-size command in the first pane of the status bar.
#include <QString>

#include <cstdint>

// "ﾌｫﾙﾀﾞ配下のﾌｧｲﾙｻｲｽﾞ合計：　1,235,567 ﾊﾞｲﾄ"
QString folderSizeResultText(uint64_t total);

// What a walk that takes a while shows until it ends:
// "ﾌｫﾙﾀﾞｻｲｽﾞ計算中… 12,345 ﾌｧｲﾙ　1,234,567,890 ﾊﾞｲﾄ (Escで中止)"
QString folderSizeProgressText(uint64_t files, uint64_t bytes);
