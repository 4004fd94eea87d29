#include "methlayout.h"

#include <cstring>

#include "lebytes.h"

namespace mcr {

namespace {

constexpr MethodItem kItems[] = {
    {"ACQMODE", 0, MethodValue::Int32, 1},
    {"ONEPROGTIME", 4, MethodValue::Float32, 1},
    {"NUMREPEAT", 8, MethodValue::Int32, 1},
    {"TOTALACQTIME", 12, MethodValue::Float32, 1},
    {"LIBRECOFFSET", 16, MethodValue::Int32, 1},
    {"NUMEVENTS", 20, MethodValue::Int32, 1},
    {"EVENTRECOFFSET", 24, MethodValue::Int32, 1},
    {"PERIPUMPON", 28, MethodValue::Int32, 1},
    {"ETVON", 32, MethodValue::Int32, 1},
    {"ASON", 36, MethodValue::Int32, 1},
    {"ESON", 40, MethodValue::Int32, 1},
    {"SPRANGE", 44, MethodValue::Float64, 3},
    {"SPCPSFLAG", 68, MethodValue::Int32, 1},
    {"SPLOGFLAG", 72, MethodValue::Int32, 1},
    {"CHRANGE", 76, MethodValue::Float64, 2},
    {"CHCPSFLAG", 92, MethodValue::Int32, 2},
    {"CHLOGFLAG", 100, MethodValue::Int32, 2},
    {"SETELEM", 108, MethodValue::Int32, 1},
    {"RESERVED1", 112, MethodValue::Int32, 1},
    {"RESERVED2", 116, MethodValue::Int32, 1},
    {"RESERVED3", 120, MethodValue::Int32, 1},
};

std::size_t Width(MethodValue t) { return t == MethodValue::Float64 ? 8 : 4; }

}  // namespace

const MethodItem* FindMethodItem(const char* upperKeyword) {
  for (const MethodItem& item : kItems)
    if (std::strcmp(item.keyword, upperKeyword) == 0) return &item;
  return nullptr;
}

int MethodItemValues(const std::uint8_t* header, const MethodItem& item,
                     double values[kMethodItemMaxValues]) {
  for (int i = 0; i < item.count; ++i) {
    std::size_t at = item.offset + static_cast<std::size_t>(i) * Width(item.type);
    switch (item.type) {
      case MethodValue::Int32: values[i] = le::I32(header, at); break;
      case MethodValue::Float32: values[i] = le::F32(header, at); break;
      case MethodValue::Float64: values[i] = le::F64(header, at); break;
    }
  }
  return item.count;
}

RunGroupSource RunGroupSourceOf(std::int32_t mode) {
  switch (mode) {
    case 0: case 1: case 3: return RunGroupSource::First;
    case 2: return RunGroupSource::Events;
    case 4: case 5: return RunGroupSource::TuneSteps;
    default: return RunGroupSource::Invalid;
  }
}

std::int32_t MethodMode(const std::uint8_t* header) { return le::I32(header, kMethodModeOffset); }
std::int32_t MethodEventOffset(const std::uint8_t* header) {
  return le::I32(header, kMethodEventOffsetOffset);
}

bool RunGroupsOf(std::int32_t mode, const std::uint8_t* events, std::size_t eventBytes,
                 std::int32_t* list, int* count) {
  switch (RunGroupSourceOf(mode)) {
    case RunGroupSource::First:
      *count = 1;
      list[0] = 1;
      return true;
    case RunGroupSource::TuneSteps:
      *count = 1;
      list[0] = 0;
      return true;
    case RunGroupSource::Events: {
      std::size_t whole = eventBytes / kEventRecordSize;
      for (std::size_t k = 0; k < whole && k < static_cast<std::size_t>(kEventRunGroupRecords); ++k) {
        std::int32_t group = le::I32(events, k * kEventRecordSize + kEventRunGroupOffset);
        if (group != 0) list[k] = group;
      }
      *count = kEventRunGroupRecords;
      return true;
    }
    case RunGroupSource::Invalid: break;
  }
  return false;
}

}  // namespace mcr
