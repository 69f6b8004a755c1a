#pragma once
// The font description kept for each pane and persisted field by field in the
// profile. Field names, widths and order are those of the Win32 LOGFONT record,
// so a profile written on either platform reads the same.
#include <array>
#include <cstdint>
#include <string>

struct LOGFONT {
    int32_t lfHeight = 18;
    int32_t lfWidth = 8;
    int32_t lfEscapement = 0;
    int32_t lfOrientation = 0;
    int32_t lfWeight = 400;
    uint8_t lfItalic = 0;
    uint8_t lfUnderline = 0;
    uint8_t lfStrikeOut = 0;
    uint8_t lfCharSet = 128;
    uint8_t lfOutPrecision = 1;
    uint8_t lfClipPrecision = 2;
    uint8_t lfQuality = 2;
    uint8_t lfPitchAndFamily = 2;
    std::array<char, 32> lfFaceName{'S', 'y', 's', 't', 'e', 'm', '\0'};

    std::string faceName() const;
    // Copies at most 31 bytes and always terminates.
    void setFaceName(std::string_view name);
    bool operator==(const LOGFONT&) const = default;
};
