// Lays out the editor extension for ./mcr to package: the hand-written files
// of editors/vscode (the manifest gets the project's version), the grammar
// and word data written from the word table, docs/src/words.txt, the message
// catalogue and the language, and its icon, drawn here:
// `editorgen SOURCE_DIR OUT_DIR VERSION`.
// Ends with status 1, leaving no extension, when the reference's sources
// do not join.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "editor.h"
#include "lang.h"

namespace fs = std::filesystem;

namespace {

bool ReadFile(const fs::path& path, std::string* text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  text->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

bool WriteFile(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out << text;
  return static_cast<bool>(out);
}

// The icon: a mass spectrum, four peaks on a base line, on the dark blue of
// the library's popup icons; 128 x 128, edges smoothed by 4 x 4 samples.
std::string Icon() {
  constexpr int kSize = 128, kSub = 4;
  struct Peak {
    double mass, height;
  };
  constexpr Peak kPeaks[] = {{36, 44}, {54, 78}, {72, 30}, {90, 60}};
  auto ink = [&](double x, double y, double rgba[4]) {
    const double r = 22, inner = std::hypot(std::fmax(std::fabs(x - 64) - (64 - r), 0.0),
                                            std::fmax(std::fabs(y - 64) - (64 - r), 0.0));
    if (inner > r) return;
    double shade[3] = {0x2B, 0x3A, 0x55};
    double top = 104;
    for (const Peak& p : kPeaks) top = std::fmin(top, 104 - p.height * std::exp(-std::pow((x - p.mass) / 3.2, 2)));
    if (y >= top && y <= 104 && x > 20 && x < 108) shade[0] = 0x8C, shade[1] = 0xC4, shade[2] = 0xF5;
    if (y > 104 && y < 108 && x > 16 && x < 112) shade[0] = 0xFD, shade[1] = 0xFB, shade[2] = 0xF2;
    for (int c = 0; c < 3; ++c) rgba[c] += shade[c];
    rgba[3] += 255;
  };
  std::string raw;
  for (int y = 0; y < kSize; ++y) {
    raw += '\0';  // no filter
    for (int x = 0; x < kSize; ++x) {
      double sum[4] = {0, 0, 0, 0};
      for (int sy = 0; sy < kSub; ++sy)
        for (int sx = 0; sx < kSub; ++sx) ink(x + (sx + 0.5) / kSub, y + (sy + 0.5) / kSub, sum);
      // Colour weighted by coverage; the edge pixels keep the colour, thinner.
      for (int c = 0; c < 4; ++c)
        raw += static_cast<char>(c == 3 ? std::lround(sum[3] / (kSub * kSub))
                                        : sum[3] > 0 ? std::lround(sum[c] * 255 / sum[3]) : 0);
    }
  }
  auto be32 = [](std::uint32_t v) {
    return std::string{static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
                       static_cast<char>(v)};
  };
  auto crc = [](const std::string& bytes) {
    std::uint32_t c = 0xFFFFFFFF;
    for (unsigned char b : bytes) {
      c ^= b;
      for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320 & (0 - (c & 1)));
    }
    return ~c;
  };
  auto chunk = [&](const std::string& kind, const std::string& body) {
    return be32(static_cast<std::uint32_t>(body.size())) + kind + body + be32(crc(kind + body));
  };
  // The pixels as a zlib stream of stored blocks: the icon is small, and
  // this needs no compressor.
  std::string z = "\x78\x01";
  std::uint32_t a = 1, b = 0;
  for (unsigned char c : raw) a = (a + c) % 65521, b = (b + a) % 65521;
  for (std::size_t at = 0; at < raw.size(); at += 65535) {
    const std::size_t n = std::min<std::size_t>(65535, raw.size() - at);
    z += static_cast<char>(at + n == raw.size());
    z += {static_cast<char>(n), static_cast<char>(n >> 8), static_cast<char>(~n), static_cast<char>(~n >> 8)};
    z += raw.substr(at, n);
  }
  z += be32(b << 16 | a);
  return "\x89PNG\r\n\x1a\n" + chunk("IHDR", be32(kSize) + be32(kSize) + std::string("\x08\x06\0\0\0", 5)) +
         chunk("IDAT", z) + chunk("IEND", "");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: editorgen SOURCE_DIR OUT_DIR VERSION\n");
    return 2;
  }
  const fs::path root = argv[1], out = argv[2];
  const std::string version = argv[3];
  mcrref::SourceTree tree;
  mcrref::ReadSourceTree(root.string(), &tree);
  for (const std::string& p : tree.problems) std::fprintf(stderr, "%s\n", p.c_str());
  fs::remove_all(out);
  if (!tree.problems.empty()) return 1;

  mcrref::Language language;
  language.keywords = mcrlang::Keywords();
  for (const mcrlang::Builtin& b : mcrlang::Builtins()) language.builtins.push_back({b.name, b.usage, b.summary});
  bool ok = true;
  for (const auto& [name, text] : mcrref::EditorFiles(tree.refs, tree.catalogue, language)) ok &= WriteFile(out / name, text);
  ok &= WriteFile(out / "icon.png", Icon());

  const fs::path source = root / "editors/vscode";
  for (const fs::directory_entry& e : fs::recursive_directory_iterator(source)) {
    if (!e.is_regular_file()) continue;
    std::string text;
    ok &= ReadFile(e.path(), &text);
    const fs::path relative = fs::relative(e.path(), source);
    if (relative == "package.json")
      for (std::size_t at; (at = text.find("@VERSION@")) != std::string::npos;) text.replace(at, 9, version);
    ok &= WriteFile(out / relative, text);
  }
  if (!ok) std::fprintf(stderr, "editorgen: cannot write the extension into %s\n", out.c_str());
  return ok ? 0 : 1;
}
