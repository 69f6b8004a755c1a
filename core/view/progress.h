#pragma once
// The status-bar text of a long load.
#include <QString>

#include <cstdint>

#include "core/viewer/display.h"

// "読込中… 1,234,567 / 5,000,000,000 ﾊﾞｲﾄ (Escで中止)"
inline QString loadProgressText(uint64_t done, uint64_t total)
{
    return QStringLiteral("読込中… ") + FormatGroupedNumber(done) + QStringLiteral(" / ") + FormatGroupedNumber(total)
           + QStringLiteral(" ﾊﾞｲﾄ (Escで中止)");
}
