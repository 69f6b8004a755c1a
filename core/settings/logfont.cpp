#include "core/settings/logfont.h"

#include <cstring>

std::string LOGFONT::faceName() const
{
    return std::string(lfFaceName.data(), strnlen(lfFaceName.data(), lfFaceName.size()));
}

void LOGFONT::setFaceName(std::string_view name)
{
    lfFaceName.fill('\0');
    size_t n = name.size() < lfFaceName.size() - 1 ? name.size() : lfFaceName.size() - 1;
    std::memcpy(lfFaceName.data(), name.data(), n);
}
