// Any text handed to the macro parser gets a program or an error with a
// line number, never a crash or a runaway recursion.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "lang.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view source(reinterpret_cast<const char*>(data), size);
  mcrlang::ParseResult r = mcrlang::Parse(source, mcrlang::kIdentityCodec);
  if (!r.program && !r.error) __builtin_trap();
  return 0;
}
