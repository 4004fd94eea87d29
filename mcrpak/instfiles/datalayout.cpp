#include "datalayout.h"

#include <cmath>
#include <cstring>

#include "../bridge/rounding.h"
#include "../bridge/sjistext.h"
#include "lebytes.h"

namespace mcr {

namespace {

// Where each text variable lives: its length byte, then the characters and
// their terminator within width bytes.
struct TextField {
  std::size_t lengthAt;
  std::size_t width;
};
constexpr TextField kOperator{148, 29};
constexpr TextField kDataName{24, 61};
constexpr TextField kMiscInfo{86, 61};
constexpr std::size_t kMultiplierOffset = 312;
constexpr std::size_t kReplicateOffset = 256;

constexpr const char* kNames[kHeaderVarCount] = {"_RUNTYPE",   "_OPERATOR$", "_MULTIPLR", "_DATANAME$",
                                                 "_MISCINFO$", "_REPLICATE", "_ALSBOTTLE"};

const TextField* TextFieldOf(HeaderVar v) {
  switch (v) {
    case HeaderVar::Operator: return &kOperator;
    case HeaderVar::DataName: return &kDataName;
    case HeaderVar::MiscInfo: return &kMiscInfo;
    default: return nullptr;
  }
}

}  // namespace

const char* HeaderVarName(HeaderVar v) { return kNames[static_cast<int>(v)]; }

bool IsStringVar(HeaderVar v) { return TextFieldOf(v) != nullptr; }

std::vector<std::string> ParseVarList(const void* data, std::size_t size) {
  std::vector<std::string> names;
  const auto* p = static_cast<const char*>(data);
  std::size_t i = 0;
  while (i < size) {
    const void* zero = std::memchr(p + i, 0, size - i);
    std::size_t end = zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - p) : size;
    names.emplace_back(p + i, end - i);
    i = end + 1;
  }
  return names;
}

std::optional<HeaderVar> MatchHeaderVar(const std::vector<std::string>& list, std::string_view name) {
  // Only the list's first seven entries are header variables; the end
  // marker after them never matches.
  for (std::size_t i = 0; i < list.size() && i < static_cast<std::size_t>(kHeaderVarCount); ++i) {
    if (!EqualNoCase(list[i], name)) continue;
    for (int v = 0; v < kHeaderVarCount; ++v)
      if (EqualNoCase(kNames[v], list[i])) return static_cast<HeaderVar>(v);
  }
  return std::nullopt;
}

std::int16_t SaturateInt16(double v) {
  return static_cast<std::int16_t>(RoundClamped(v, INT16_MIN, INT16_MAX));
}

float ClampFloat(double v) {
  constexpr double kMax = 3.4028234663852886e38;
  constexpr double kMin = 1.1754943508222875e-38;
  if (v > kMax) return static_cast<float>(kMax);
  if (v < -kMax) return static_cast<float>(-kMax);
  if (v > 0 && v < kMin) return static_cast<float>(kMin);
  if (v < 0 && v > -kMin) return static_cast<float>(-kMin);
  return static_cast<float>(v);
}

void PutHeaderVar(std::uint8_t* header, HeaderVar v, const HeaderValue& value) {
  if (const TextField* f = TextFieldOf(v)) {
    std::string_view text = CutBytes(value.text, f->width - 1);
    header[f->lengthAt] = static_cast<std::uint8_t>(text.size());
    std::memcpy(header + f->lengthAt + 1, text.data(), text.size());
    header[f->lengthAt + 1 + text.size()] = 0;
    return;
  }
  switch (v) {
    case HeaderVar::RunType: PutDataRunType(header, value.number); break;
    case HeaderVar::Multiplier: le::PutF32(header, kMultiplierOffset, ClampFloat(value.number)); break;
    case HeaderVar::Replicate:
    case HeaderVar::AlsBottle: le::PutI16(header, kReplicateOffset, SaturateInt16(value.number)); break;
    default: break;
  }
}

HeaderValue GetHeaderVar(const std::uint8_t* header, HeaderVar v) {
  HeaderValue out;
  if (const TextField* f = TextFieldOf(v)) {
    out.text = le::Text(header, f->lengthAt + 1, f->width);
    return out;
  }
  switch (v) {
    case HeaderVar::RunType: out.number = DataRunType(header); break;
    case HeaderVar::Multiplier: out.number = le::F32(header, kMultiplierOffset); break;
    case HeaderVar::Replicate:
    case HeaderVar::AlsBottle: out.number = le::I16(header, kReplicateOffset); break;
    default: break;
  }
  return out;
}

std::int32_t DataRunType(const std::uint8_t* header) { return le::I32(header, kRunTypeOffset); }

void PutDataRunType(std::uint8_t* header, double runType) {
  le::PutI32(header, kRunTypeOffset, RoundToInt(runType));
}

long long ElementTableStart(const std::uint8_t* header) {
  // The position counts 16-bit words from 1.
  return 2 * (static_cast<long long>(le::I32(header, kElementTablePosOffset)) - 1);
}

std::int16_t ElementCount(const std::uint8_t* header) { return le::I16(header, kElementCountOffset); }

std::optional<ElementEntry> FindElement(const std::uint8_t* entries, std::size_t count,
                                        long long element) {
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* e = entries + i * kElementEntrySize;
    if (le::I16(e, 0) != element) continue;
    return ElementEntry{le::I16(e, 0), le::Text(e, 3, 19), le::I16(e, 22)};
  }
  return std::nullopt;
}

int StepOfDataFileName(std::string_view name) {
  // The search pattern's one wild character stands before the extension.
  std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return 0;
  char c = name[dot - 1];
  return c >= '1' && c <= '9' ? c - '0' : 0;
}

std::string StepFilePath(std::string_view dir, int step) {
  return std::string(dir) + "\\data0" + std::to_string(step) + ".icp";
}

std::string CompanionPath(std::string_view dir, int step, int m) {
  int mm = m % 100;
  char suffix[3] = {static_cast<char>('0' + mm / 10), static_cast<char>('0' + mm % 10), 0};
  return std::string(dir) + "\\data0" + std::to_string(step) + "." + suffix;
}

}  // namespace mcr
