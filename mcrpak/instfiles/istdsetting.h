// The internal-standard setting kept at offset 32 of the first 36 bytes of a
// settings file: above 0 manual, otherwise a level (0 counts as level 1).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace mcr {

constexpr std::size_t kIstdSettingBytes = 36;

std::int32_t DecodeIstdSetting(const std::uint8_t* p);

// manualText for a manual setting, otherwise levelText, a blank and the
// level ("%s %d").
std::string IstdSettingText(std::int32_t setting, const std::string& manualText,
                            const std::string& levelText);

}  // namespace mcr
