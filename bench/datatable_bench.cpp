// DATATABLE APPEND of one data directory whose six steps scan 5,200 points
// each (every mass from 0.55 to 260.5 in steps of 0.05), against reading the
// same six files raw: with the columns of a method measuring eight masses in
// each step, and, without a goal, with a column for every whole mass of
// every step.
#include <vector>

#include "host.h"
#include "tablefixtures.h"

namespace mcrbench {
namespace {

// An APPEND within 1.5 times the raw read of its data files.
constexpr double kAppendGoal = 1.5;
constexpr int kSteps = 6;
constexpr int kMasses = 260;
constexpr int kPointsPerMass = 20;

std::string DataDir() { return Scratch() + "\\BENCH.D"; }

std::string StepFile(int step) {
  char name[32];
  wsprintfA(name, "\\data%02d.icp", step);
  return DataDir() + name;
}

// A table whose columns are every massStep-th mass of each step.
std::string CreateTable(const char* name, int massStep) {
  std::string cols;
  for (int step = 1; step <= kSteps; ++step)
    for (int m = massStep; m <= kMasses; m += massStep)
      cols += "M" + std::to_string(m) + " / " + std::to_string(m) + "[#" + std::to_string(step) + "]\t";
  std::string config = mcrtest::tfx::Config("HEADER INFO=ON\r\nADDITIONAL=RSD\r\n", cols + "\r\n");
  mcrtest::Bytes(0).put(0, config.data(), config.size()).save(Scratch() + "\\dataview.cfg");
  std::string table = Scratch() + "\\" + name;
  Call("DATATABLE", {S("CREATE"), S(table)});
  return table;
}

void WriteDataDirectory() {
  static bool done = false;
  if (done) return;
  done = true;
  CreateDirectoryA(DataDir().c_str(), nullptr);
  for (int step = 1; step <= kSteps; ++step) {
    std::vector<mcrtest::tfx::Entry> entries;
    std::vector<mcrtest::tfx::Point> points;
    for (int m = 1; m <= kMasses; ++m) entries.push_back({static_cast<std::int16_t>(m), 1000.0f * m, 20.0f, 0});
    for (int x = 11; x < 11 + kMasses * kPointsPerMass; ++x) {
      int offset = x % 20 > 10 ? 20 - x % 20 : x % 20;  // distance to the nearest whole mass, in 0.05
      points.push_back({static_cast<std::uint16_t>(x), 0.01f, 5.0f + 1000.0f / (1 + offset * offset)});
    }
    mcrtest::tfx::DataFile(entries, points).save(StepFile(step));
  }
  SharedHost().vars().setString("_EXEPATH$", Scratch() + "\\");
}

void ReadSteps() {
  std::size_t bytes = 0;
  for (int step = 1; step <= kSteps; ++step) bytes += RawRead(StepFile(step)).size;
  Sink(bytes);
}

std::string g_method, g_everyMass;

const Registrar kMethod({"DATATABLE APPEND 6x5200 points, 48 columns",
                         [] {
                           WriteDataDirectory();
                           g_method = CreateTable("method.txt", kMasses / 8);
                         },
                         [] { Call("DATATABLE", {S("APPEND"), S(g_method), S(DataDir())}); }, ReadSteps, kAppendGoal});
const Registrar kEveryMass({"DATATABLE APPEND 6x5200 points, 1560 columns",
                            [] {
                              WriteDataDirectory();
                              g_everyMass = CreateTable("everymass.txt", 1);
                            },
                            [] { Call("DATATABLE", {S("APPEND"), S(g_everyMass), S(DataDir())}); }, ReadSteps});

}  // namespace
}  // namespace mcrbench
