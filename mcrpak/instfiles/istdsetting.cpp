#include "istdsetting.h"

#include "lebytes.h"

namespace mcr {

std::int32_t DecodeIstdSetting(const std::uint8_t* p) { return le::I32(p, 32); }

std::string IstdSettingText(std::int32_t setting, const std::string& manualText,
                            const std::string& levelText) {
  if (setting > 0) return manualText;
  // Widened first: the level of the most negative setting does not fit.
  long long level = -static_cast<long long>(setting);
  if (level == 0) level = 1;
  return levelText + " " + std::to_string(level);
}

}  // namespace mcr
