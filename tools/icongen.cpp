// icongen DIR: draws the message popup's animation frames and writes them to
// DIR as timer_1.ico .. timer_8.ico (a clock face whose hand moves on by an
// eighth of a turn each frame) and bar_1.ico .. bar_8.ico (a bar whose eight
// segments fill one by one). Each file holds one 32 x 32 image of 256
// colours with a transparency mask. The build runs it on the build machine,
// so the tree keeps the drawing rather than the bitmaps.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kSize = 32;
constexpr int kFrames = 8;
constexpr int kSub = 4;  // subsamples per pixel side, for smooth edges
constexpr double kPi = 3.14159265358979323846;

struct Rgb {
  double r, g, b;
};

// What a point of the picture shows; covered false means the background.
struct Ink {
  bool covered;
  Rgb colour;
};

constexpr Rgb kRim{0x2B, 0x3A, 0x55};
constexpr Rgb kFace{0xFD, 0xFB, 0xF2};
constexpr Rgb kTick{0x55, 0x5F, 0x70};
constexpr Rgb kHand{0xD0, 0x30, 0x30};
constexpr Rgb kTrough{0xE4, 0xE6, 0xEA};
constexpr Rgb kFill{0x2E, 0x86, 0xDE};
constexpr Rgb kShine{0x8C, 0xC4, 0xF5};

// Distance from p to the segment a-b.
double SegmentDistance(double px, double py, double ax, double ay, double bx, double by) {
  double dx = bx - ax, dy = by - ay;
  double t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy);
  t = t < 0 ? 0 : t > 1 ? 1 : t;
  return std::hypot(px - (ax + t * dx), py - (ay + t * dy));
}

// Frame 0 points the hand at twelve o'clock; each frame turns it clockwise.
Ink Clock(int frame, double x, double y) {
  const double cx = kSize / 2.0, cy = kSize / 2.0;
  double r = std::hypot(x - cx, y - cy);
  if (r > 15.0) return {false, {}};
  if (r > 13.2) return {true, kRim};
  if (r < 1.9) return {true, kRim};
  double angle = frame * 2 * kPi / kFrames;
  double hx = cx + 10.5 * std::sin(angle), hy = cy - 10.5 * std::cos(angle);
  if (SegmentDistance(x, y, cx, cy, hx, hy) < 1.25) return {true, kHand};
  for (int mark = 0; mark < 12; ++mark) {
    double a = mark * 2 * kPi / 12;
    double inner = mark % 3 == 0 ? 9.5 : 11.0;
    if (SegmentDistance(x, y, cx + inner * std::sin(a), cy - inner * std::cos(a),
                        cx + 12.3 * std::sin(a), cy - 12.3 * std::cos(a)) < 0.7)
      return {true, kTick};
  }
  return {true, kFace};
}

// Frame k (0 to 7) shows the bar filled to k + 1 eighths.
Ink Bar(int frame, double x, double y) {
  const double left = 1, right = 31, top = 10, bottom = 22;
  if (x < left || x > right || y < top || y > bottom) return {false, {}};
  if (x < left + 1 || x > right - 1 || y < top + 1 || y > bottom - 1) return {true, kRim};
  double filled = std::round((right - left - 2) * (frame + 1) / kFrames);  // whole pixels
  if (x - (left + 1) > filled) return {true, kTrough};
  return {true, y < top + 3 ? kShine : kFill};
}

// The 256 colours: a 6 x 6 x 6 cube, then 40 greys.
std::vector<Rgb> Palette() {
  std::vector<Rgb> p;
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 6; ++g)
      for (int b = 0; b < 6; ++b) p.push_back({r * 51.0, g * 51.0, b * 51.0});
  for (int i = 0; i < 40; ++i) p.push_back({i * 255.0 / 39, i * 255.0 / 39, i * 255.0 / 39});
  return p;
}

std::uint8_t Nearest(const std::vector<Rgb>& palette, const Rgb& c) {
  std::size_t best = 0;
  double bestDistance = 1e18;
  for (std::size_t i = 0; i < palette.size(); ++i) {
    double dr = palette[i].r - c.r, dg = palette[i].g - c.g, db = palette[i].b - c.b;
    double d = dr * dr + dg * dg + db * db;
    if (d < bestDistance) bestDistance = d, best = i;
  }
  return static_cast<std::uint8_t>(best);
}

void Put16(std::vector<std::uint8_t>& out, unsigned v) {
  out.push_back(v & 0xFF);
  out.push_back((v >> 8) & 0xFF);
}
void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

// One icon file: directory, directory entry, then the image as a DIB of
// double height (colour rows, then the mask rows), bottom row first.
std::vector<std::uint8_t> IconFile(Ink (*draw)(int, double, double), int frame) {
  const std::vector<Rgb> palette = Palette();
  std::vector<std::uint8_t> pixels(kSize * kSize), mask(kSize * kSize);
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x) {
      Rgb sum{0, 0, 0};
      int covered = 0;
      for (int sy = 0; sy < kSub; ++sy) {
        for (int sx = 0; sx < kSub; ++sx) {
          Ink ink = draw(frame, x + (sx + 0.5) / kSub, y + (sy + 0.5) / kSub);
          if (!ink.covered) continue;
          ++covered;
          sum.r += ink.colour.r, sum.g += ink.colour.g, sum.b += ink.colour.b;
        }
      }
      bool opaque = covered * 2 >= kSub * kSub;
      mask[y * kSize + x] = opaque ? 0 : 1;
      pixels[y * kSize + x] =
          opaque ? Nearest(palette, {sum.r / covered, sum.g / covered, sum.b / covered}) : 0;
    }
  }
  const std::uint32_t maskStride = 4, imageBytes = 40 + 256 * 4 + kSize * kSize + kSize * maskStride;
  std::vector<std::uint8_t> out;
  Put16(out, 0), Put16(out, 1), Put16(out, 1);                  // reserved, icon, one image
  out.push_back(kSize), out.push_back(kSize), out.push_back(0), out.push_back(0);  // 0: 256 colours
  Put16(out, 1), Put16(out, 8), Put32(out, imageBytes), Put32(out, 6 + 16);
  Put32(out, 40), Put32(out, kSize), Put32(out, 2 * kSize), Put16(out, 1), Put16(out, 8);
  Put32(out, 0), Put32(out, kSize * kSize + kSize * maskStride);
  Put32(out, 0), Put32(out, 0), Put32(out, 256), Put32(out, 0);
  for (const Rgb& c : palette) {
    out.push_back(static_cast<std::uint8_t>(c.b));
    out.push_back(static_cast<std::uint8_t>(c.g));
    out.push_back(static_cast<std::uint8_t>(c.r));
    out.push_back(0);
  }
  for (int y = kSize - 1; y >= 0; --y)
    for (int x = 0; x < kSize; ++x) out.push_back(pixels[y * kSize + x]);
  for (int y = kSize - 1; y >= 0; --y) {
    std::uint32_t bits = 0;
    for (int x = 0; x < kSize; ++x) bits |= static_cast<std::uint32_t>(mask[y * kSize + x]) << (31 - x);
    out.push_back(bits >> 24), out.push_back(bits >> 16), out.push_back(bits >> 8), out.push_back(bits);
  }
  return out;
}

bool Write(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  bool ok = f && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  if (f && std::fclose(f) != 0) ok = false;
  if (!ok) std::fprintf(stderr, "icongen: cannot write %s\n", path.c_str());
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: icongen DIR\n");
    return 2;
  }
  std::string dir = argv[1];
  for (int frame = 0; frame < kFrames; ++frame) {
    std::string n = std::to_string(frame + 1);
    if (!Write(dir + "/timer_" + n + ".ico", IconFile(Clock, frame)) ||
        !Write(dir + "/bar_" + n + ".ico", IconFile(Bar, frame)))
      return 1;
  }
  return 0;
}
