// The benchmark's figures: each times a word through the real host path
// (the library loaded and called as the command processor calls it) against
// a baseline that does the same essential work with raw Win32 or plain C++
// in the same process. Figures register themselves from their own files;
// the figures of platform-free code also run natively.
#pragma once
#include <functional>
#include <string>

namespace mcrbench {

struct Figure {
  std::string name;
  // Runs once before the timings (fixtures, files); may be empty.
  std::function<void()> setup;
  // One unit of work each; the figure reports the time of one unit.
  std::function<void()> product;
  std::function<void()> baseline;
  // The ratio the product must stay within, or 0 when the goal is a time.
  double ratioGoal = 0;
  // The time per unit (seconds) the product must stay within, or 0.
  double timeGoal = 0;
};

void Register(Figure figure);

struct Registrar {
  explicit Registrar(Figure figure) { Register(std::move(figure)); }
};

// Times every registered figure whose name contains filter and prints the
// table; the number of goals missed.
int RunFigures(const char* filter);

// Keeps a result alive so that the compiler cannot drop the work.
void Sink(std::size_t value);

}  // namespace mcrbench
