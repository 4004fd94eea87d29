// The benchmark's figures: each times a word through the real host path
// (the library loaded and called as the command processor calls it) against
// a baseline that does the same essential work with raw Win32 or plain C++
// in the same process. Figures register themselves from their own files.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "hostcore.h"

namespace mcrbench {

struct Figure {
  std::string name;
  // Runs once before the timings (fixtures, files); may be empty.
  std::function<void()> setup;
  // One unit of work each; the figure reports the time of one unit.
  std::function<void()> product;
  std::function<void()> baseline;
  // Units per timed repetition, so that one repetition lasts long enough to
  // measure (a few milliseconds).
  int units = 1;
};

void Register(Figure figure);

struct Registrar {
  explicit Registrar(Figure figure) { Register(std::move(figure)); }
};

// The host every figure calls words through (library loaded, registered).
mcrhost::Host& SharedHost();
// Calls a word and stops the benchmark if it fails: a figure that times an
// error path measures nothing.
mcrhost::Outcome Call(const std::string& word, const std::vector<mcrhost::Arg>& args);
mcrhost::Arg S(const std::string& ansi);
mcrhost::Arg N(double v);
// A folder for the figures' files, removed when the benchmark ends.
const std::string& Scratch();

}  // namespace mcrbench
