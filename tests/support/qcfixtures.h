// Calibration, QC database, tune-criteria, run group and method files laid
// down field by field at the offsets of their layouts. The offsets the
// headers point at are chosen apart from the obvious ones (the information
// block after the element list, gaps between the parts) so that a reader
// that assumes an order instead of following the offsets reads garbage.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "bytes.h"

namespace mcrtest::fx {

// --- calibration file calib.NN ----------------------------------------------
struct CalElement {
  std::int32_t mass;
  std::string name;
  std::string quantMode = "";
  std::int32_t istd = 0;    // > 0 internal standard
  std::int32_t points = 0;  // K: 48-byte point entries after the record
};

struct CalOptions {
  std::uint32_t countAt = 52;       // where the element count lies
  std::uint32_t firstAt = 72;       // first element record
  std::optional<std::int64_t> count = std::nullopt;  // the stored count; default: the number of elements
  bool writeCount = true;
};

inline Bytes Calibration(const std::vector<CalElement>& elements, CalOptions o = {}) {
  Bytes b(20, 0xA5);
  b.u32(0, 0x11111111).u32(4, 0x22222222).u32(8, 0x33333333);
  b.u32(12, o.countAt).u32(16, o.firstAt);
  if (o.writeCount)
    b.i32(o.countAt, static_cast<std::int32_t>(o.count.value_or(static_cast<std::int64_t>(elements.size()))));
  std::size_t at = o.firstAt;
  for (const CalElement& e : elements) {
    Bytes rec(144, 0x5A);
    rec.i32(0, e.mass).text(4, e.name, 26).text(30, e.quantMode, 56).i32(86, e.points).i32(128, e.istd);
    b.put(at, rec.data().data(), rec.size());
    at += 144;
    // Point entries hold numbers that would pass for masses if read as records.
    for (std::int32_t k = 0; k < e.points && k < 1000; ++k, at += 48)
      for (std::size_t f = 0; f < 48; f += 4) b.i32(at + f, 99);
  }
  return b;
}

// --- QC database qcdb.0N and tune criteria qctune.0N -------------------------
struct QcElement {
  std::int16_t mass;
  std::string name;
  std::int16_t istd = 0;  // 1 internal standard
};

struct QcCheck {
  std::int16_t mass;
  std::int16_t checkOff = 0;
  std::int16_t reportOff = 0;
  float limits[4][3] = {};
  std::int16_t settings[4][3] = {};
  std::int16_t extra[3] = {};
};

struct QcGroup {
  std::int16_t number;
  std::vector<QcCheck> checks;
  std::optional<std::int16_t> storedCount = std::nullopt;  // default: the number of checks
};

struct QcOptions {
  std::int16_t version = 3003;
  std::optional<std::int16_t> storedElements = std::nullopt;  // default: the number of elements
  std::optional<std::int16_t> storedGroups = std::nullopt;    // default: the number of groups
};

inline Bytes QcCheckEntry(const QcCheck& c) {
  Bytes e(130, 0x3C);
  e.i16(10, c.mass).i16(12, c.checkOff);
  for (std::size_t blk = 0; blk < 4; ++blk) {
    std::size_t at = 14 + 26 * blk;
    for (std::size_t i = 0; i < 3; ++i) {
      e.f32(at + 4 * i, c.limits[blk][i]);
      e.i16(at + 12 + 2 * i, c.settings[blk][i]);
    }
  }
  e.i16(118, c.extra[0]).i16(120, c.extra[1]).i16(122, c.extra[2]).i16(124, c.reportOff);
  return e;
}

// Header at 0; element list at 40; information block after the list; groups
// after a gap.
inline Bytes QcDatabase(const std::vector<QcElement>& elements, const std::vector<QcGroup>& groups,
                        QcOptions o = {}) {
  const std::uint32_t elementsAt = 40;
  const std::uint32_t infoAt = elementsAt + 14 * static_cast<std::uint32_t>(elements.size()) + 6;
  const std::uint32_t groupsAt = infoAt + 12 + 10;
  Bytes b(20, 0x77);
  b.u32(0, infoAt).u32(4, elementsAt).u32(8, groupsAt);
  std::size_t at = elementsAt;
  for (const QcElement& e : elements) {
    b.i16(at, e.mass).text(at + 2, e.name, 10).i16(at + 12, e.istd);
    at += 14;
  }
  b.i16(infoAt, o.storedGroups.value_or(static_cast<std::int16_t>(groups.size())))
      .i16(infoAt + 2, o.storedElements.value_or(static_cast<std::int16_t>(elements.size())))
      .i16(infoAt + 4, o.version)
      .put(infoAt + 6, "\x7F\x7F\x7F\x7F\x7F\x7F", 6);
  b.resize(groupsAt);
  for (const QcGroup& g : groups) {
    Bytes h(12, 0x6E);
    h.i16(0, g.number).i16(2, g.storedCount.value_or(static_cast<std::int16_t>(g.checks.size())));
    b.append(h);
    for (const QcCheck& c : g.checks) b.append(QcCheckEntry(c));
  }
  return b;
}

// Header at 0; element list at 32; information block at 20.
inline Bytes TuneCriteria(const std::vector<QcElement>& elements,
                          std::optional<std::int16_t> storedCount = std::nullopt) {
  Bytes b(20, 0x44);
  b.u32(0, 20).u32(4, 32);
  b.i16(20, 0x5555).i16(22, storedCount.value_or(static_cast<std::int16_t>(elements.size())));
  b.put(24, "\x66\x66\x66\x66\x66\x66\x66\x66", 8);
  std::size_t at = 32;
  for (const QcElement& e : elements) {
    b.i16(at, e.mass).text(at + 2, e.name, 10).i16(at + 12, 0x2222);
    at += 14;
  }
  return b;
}

// --- run group rungroup.0N and method header run.icp -------------------------
struct Measured {
  std::int32_t mass;
  std::string name;
};

inline Bytes RunGroup(const std::vector<Measured>& masses,
                      std::optional<std::int32_t> storedCount = std::nullopt) {
  Bytes b(436, 0x19);
  b.i32(104, storedCount.value_or(static_cast<std::int32_t>(masses.size())));
  for (const Measured& m : masses) {
    Bytes rec(26, 0x2D);
    rec.i32(0, m.mass).text(4, m.name, 10);
    b.append(rec);
  }
  return b;
}

// run.icp: mode at 0, event records (182 bytes, run group at 4) from 300.
inline Bytes Method(std::int32_t mode, const std::vector<std::int32_t>& eventRunGroups = {}) {
  const std::uint32_t eventsAt = 300;
  Bytes b(124, 0);
  b.i32(0, mode).i32(20, static_cast<std::int32_t>(eventRunGroups.size())).i32(24, eventsAt);
  b.resize(eventsAt);
  for (std::int32_t g : eventRunGroups) {
    Bytes ev(182, 0x01);
    ev.i32(0, 7).i32(4, g);
    b.append(ev);
  }
  return b;
}

}  // namespace mcrtest::fx
