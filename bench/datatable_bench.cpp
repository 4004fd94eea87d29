// DATATABLE APPEND of one data directory whose six steps scan 5,200 points
// each (every mass from 0.55 to 260.5 in steps of 0.05), against reading the
// same six files with ReadFile: with the columns of a method measuring eight
// masses in each step, and with a column for every whole mass of every step.
#include <vector>

#include "../tests/support/tablefixtures.h"
#include "bench.h"

namespace mcrbench {
namespace {

using mcrtest::tfx::DataFile;

constexpr int kSteps = 6;
constexpr int kMasses = 260;
constexpr int kPointsPerMass = 20;

struct Paths {
  std::string method, everyMass, data;
};
const Paths& Files() {
  static const Paths paths{Scratch() + "\\method.txt", Scratch() + "\\everymass.txt", Scratch() + "\\BENCH.D"};
  return paths;
}

// A table whose columns are every massStep-th mass of each step.
void CreateTable(const std::string& path, int massStep) {
  std::string cols;
  for (int step = 1; step <= kSteps; ++step)
    for (int m = massStep; m <= kMasses; m += massStep)
      cols += "M" + std::to_string(m) + " / " + std::to_string(m) + "[#" + std::to_string(step) + "]\t";
  std::string config = mcrtest::tfx::Config("HEADER INFO=ON\r\nADDITIONAL=RSD\r\n", cols + "\r\n");
  mcrtest::Bytes(0).put(0, config.data(), config.size()).save(Scratch() + "\\dataview.cfg");
  Call("DATATABLE", {S("CREATE"), S(path)});
}

void Setup() {
  static bool done = false;
  if (done) return;
  done = true;
  CreateDirectoryA(Files().data.c_str(), nullptr);
  for (int step = 1; step <= kSteps; ++step) {
    std::vector<mcrtest::tfx::Entry> entries;
    std::vector<mcrtest::tfx::Point> points;
    for (int m = 1; m <= kMasses; ++m) entries.push_back({static_cast<std::int16_t>(m), 1000.0f * m, 20.0f, 0});
    for (int x = 11; x < 11 + kMasses * kPointsPerMass; ++x) {
      int offset = x % 20 > 10 ? 20 - x % 20 : x % 20;  // distance to the nearest whole mass, in 0.05
      points.push_back({static_cast<std::uint16_t>(x), 0.01f, 5.0f + 1000.0f / (1 + offset * offset)});
    }
    char name[32];
    wsprintfA(name, "\\data%02d.icp", step);
    DataFile(entries, points).save(Files().data + name);
  }
  SharedHost().vars().setString("_EXEPATH$", Scratch() + "\\");
  CreateTable(Files().method, kMasses / 8);
  CreateTable(Files().everyMass, 1);
}

void ReadSteps() {
  static std::vector<char> buffer(1 << 20);
  for (int step = 1; step <= kSteps; ++step) {
    char name[32];
    wsprintfA(name, "\\data%02d.icp", step);
    HANDLE f = CreateFileA((Files().data + name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD got = 0;
    ReadFile(f, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr);
    CloseHandle(f);
  }
}

const Registrar kMethod({"DATATABLE APPEND 6x5200 points, 48 cols", Setup,
                         [] { Call("DATATABLE", {S("APPEND"), S(Files().method), S(Files().data)}); }, ReadSteps, 5});
const Registrar kEveryMass({"DATATABLE APPEND 6x5200 points, 1560 cols", Setup,
                            [] { Call("DATATABLE", {S("APPEND"), S(Files().everyMass), S(Files().data)}); }, ReadSteps,
                            5});

}  // namespace
}  // namespace mcrbench
