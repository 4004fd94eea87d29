// The QC database file qcdb.0N and the QC tune-criteria file qctune.0N.
// Both start with a 20-byte header pointing at a 12-byte information block
// and at the element list (14-byte records). The QC database also has a
// group area: QC groups one after another, each a 12-byte group header and
// its 130-byte check entries.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "bytesource.h"
#include "masslist.h"

namespace mcr {

constexpr std::size_t kQcHeaderSize = 20;
constexpr std::size_t kQcInfoSize = 12;
constexpr std::size_t kQcElementSize = 14;
constexpr std::size_t kQcGroupHeaderSize = 12;
constexpr std::size_t kQcCheckSize = 130;
constexpr std::size_t kQcCriteriaSize = 26;
constexpr std::int16_t kQcVersionWithReportMark = 3003;
constexpr std::size_t kQcCheckItems = 29;

struct QcHeader {
  std::uint32_t infoOffset;
  std::uint32_t elementOffset;
  std::uint32_t groupOffset;  // QC database only
};
QcHeader DecodeQcHeader(const std::uint8_t* p);

struct QcInfo {
  std::int16_t groups;
  std::int16_t elements;
  std::int16_t version;  // QC database only
};
QcInfo DecodeQcInfo(const std::uint8_t* p);

struct QcElement {
  std::int16_t mass;
  std::string name;
  std::int16_t istdMark;  // 1 internal standard, 0 analyte
};
QcElement DecodeQcElement(const std::uint8_t* p);

struct QcGroupHeader {
  std::int16_t number;
  std::int16_t entries;  // E
};
QcGroupHeader DecodeQcGroupHeader(const std::uint8_t* p);

struct QcCriteria {
  float limits[3];
  std::int16_t settings[3];
};

struct QcCheck {
  std::int16_t mass;
  std::int16_t checkOff;   // 1: the check is off
  QcCriteria criteria[4];
  std::int16_t extra[3];
  std::int16_t reportOff;  // 1: not reported (version 3003 only)
};
QcCheck DecodeQcCheck(const std::uint8_t* p);

// The 29 numbers of one check entry in the order the macros expect them.
std::array<double, kQcCheckItems> QcCheckTable(const QcCheck& check, std::int16_t version);

// Header and information block of an open QC database or tune-criteria file.
struct QcStart {
  QcHeader header;
  QcInfo info;
};
std::optional<QcStart> ReadQcStart(ByteSource& file);

// The QC database lists. group is the fifth argument, null when omitted.
MassList ListQcDatabase(ByteSource& file, Selector selector, const std::int32_t* group);
// The tune-criteria lists ("MASS" and "NAME").
MassList ListTuneCriteria(ByteSource& file, Selector selector);

// The check entry of a mass in the first group that has the number.
struct QcCheckSearch {
  enum Status { Unreadable, NotFound, Found } status = Unreadable;
  QcCheck check{};
  std::int16_t version = 0;
};
QcCheckSearch FindQcCheck(ByteSource& file, std::int32_t group, std::int32_t mass);

}  // namespace mcr
