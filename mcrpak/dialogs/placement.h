// Where a dialog sits in the middle of the desktop's work area, in the work
// area's own coordinates (those of a window's normal placement). Each
// halving rounds toward zero.
#pragma once

namespace mcr {

struct DialogOrigin {
  int left;
  int top;
};

constexpr DialogOrigin CentredOrigin(int areaWidth, int areaHeight, int width, int height) {
  return {areaWidth / 2 - width / 2, areaHeight / 2 - height / 2};
}

}  // namespace mcr
