#include "core/fileops/foldersize.h"

#include "core/viewer/display.h"

QString folderSizeResultText(uint64_t total)
{
    return QStringLiteral("ﾌｫﾙﾀﾞ配下のﾌｧｲﾙｻｲｽﾞ合計：　") + FormatGroupedNumber(total) + QStringLiteral(" ﾊﾞｲﾄ");
}

QString folderSizeProgressText(uint64_t files, uint64_t bytes)
{
    return QStringLiteral("ﾌｫﾙﾀﾞｻｲｽﾞ計算中… ") + FormatGroupedNumber(files) + QStringLiteral(" ﾌｧｲﾙ　") +
           FormatGroupedNumber(bytes) + QStringLiteral(" ﾊﾞｲﾄ (Escで中止)");
}
