// Calibration, QC database, tune-criteria, run group and method files laid
// down field by field. The offsets the headers point at are chosen apart from
// the obvious ones, so that a reader that assumes an order reads garbage.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "bytes.h"

namespace mcrtest::fx {

// calib.NN: element count at 52, first record at 72; each 144-byte record is
// followed by its K point entries of 48 bytes, which hold numbers that would
// pass for masses if read as records.
struct CalElement {
  std::int32_t mass;
  std::string name, quantMode = "";
  std::int32_t istd = 0, points = 0;  // istd > 0: internal standard; points: K
};
inline Bytes Calibration(const std::vector<CalElement>& elements, std::optional<std::int32_t> count = {}) {
  Bytes b(20, 0xA5);
  b.u32(0, 0x11111111).u32(4, 0x22222222).u32(8, 0x33333333).u32(12, 52).u32(16, 72);
  b.i32(52, count.value_or(static_cast<std::int32_t>(elements.size()))).resize(72);
  for (const CalElement& e : elements) {
    b.append(Bytes(144, 0x5A).i32(0, e.mass).text(4, e.name, 26).text(30, e.quantMode, 56).i32(86, e.points)
                 .i32(128, e.istd));
    for (std::int32_t k = 0; k < 12 * e.points && k < 12000; ++k) b.append(Bytes(4).i32(0, 99));
  }
  return b;
}

// An element of a QC, tune-criteria or run group list.
struct Element { std::int32_t mass; std::string name; std::int16_t istd = 0; };  // istd 1: internal standard

// qcdb.0N: header at 0, element list at 40, information block after the list,
// groups after a gap. Every criteria limit, setting and extra value of a check
// entry holds its own offset, so that a table of them shows where each came from.
struct QcCheck { std::int16_t mass, checkOff = 0, reportOff = 0; };
struct QcGroup {
  std::int16_t number;
  std::vector<QcCheck> checks;
  std::optional<std::int16_t> storedCount = std::nullopt;  // default: the number of checks
};
inline Bytes QcDatabase(const std::vector<Element>& elements, const std::vector<QcGroup>& groups,
                        std::int16_t version = 3003, std::optional<std::int16_t> elementCount = {}) {
  const std::uint32_t infoAt = 40 + 14 * static_cast<std::uint32_t>(elements.size()) + 6, groupsAt = infoAt + 22;
  Bytes b(20, 0x77);
  b.u32(0, infoAt).u32(4, 40).u32(8, groupsAt);
  for (std::size_t i = 0, at = 40; i < elements.size(); ++i, at += 14)
    b.i16(at, std::int16_t(elements[i].mass)).text(at + 2, elements[i].name, 10).i16(at + 12, elements[i].istd);
  b.i16(infoAt, std::int16_t(groups.size())).i16(infoAt + 2, elementCount.value_or(std::int16_t(elements.size())))
      .i16(infoAt + 4, version).put(infoAt + 6, "\x7F\x7F\x7F\x7F\x7F\x7F", 6).resize(groupsAt);
  for (const QcGroup& g : groups) {
    b.append(Bytes(12, 0x6E).i16(0, g.number).i16(2, g.storedCount.value_or(std::int16_t(g.checks.size()))));
    for (const QcCheck& c : g.checks) {
      Bytes e(130, 0x3C);
      for (std::size_t at = 14; at < 118; at += 26)
        for (std::size_t i = 0; i < 3; ++i)
          e.f32(at + 4 * i, float(at + 4 * i)).i16(at + 12 + 2 * i, std::int16_t(at + 12 + 2 * i));
      b.append(e.i16(10, c.mass).i16(12, c.checkOff).i16(118, 118).i16(120, 120).i16(122, 122).i16(124, c.reportOff));
    }
  }
  return b;
}

// qctune.0N: header at 0; information block at 20; element list at 32.
inline Bytes TuneCriteria(const std::vector<Element>& elements) {
  Bytes b(20, 0x44);
  b.u32(0, 20).u32(4, 32).i16(20, 0x5555).i16(22, static_cast<std::int16_t>(elements.size()));
  b.put(24, "\x66\x66\x66\x66\x66\x66\x66\x66", 8);
  for (std::size_t i = 0, at = 32; i < elements.size(); ++i, at += 14)
    b.i16(at, static_cast<std::int16_t>(elements[i].mass)).text(at + 2, elements[i].name, 10).i16(at + 12, 0x2222);
  return b;
}

// rungroup.0N: mass count at 104, 26-byte mass records from 436.
inline Bytes RunGroup(const std::vector<Element>& masses) {
  Bytes b(436, 0x19);
  b.i32(104, static_cast<std::int32_t>(masses.size()));
  for (const Element& m : masses) b.append(Bytes(26, 0x2D).i32(0, m.mass).text(4, m.name, 10));
  return b;
}

// run.icp: mode at 0, event records (182 bytes, run group at 4) from 300.
inline Bytes Method(std::int32_t mode, const std::vector<std::int32_t>& eventRunGroups = {}) {
  Bytes b(124, 0);
  b.i32(0, mode).i32(20, static_cast<std::int32_t>(eventRunGroups.size())).i32(24, 300).resize(300);
  for (std::int32_t g : eventRunGroups) b.append(Bytes(182, 0x01).i32(0, 7).i32(4, g));
  return b;
}

}  // namespace mcrtest::fx
