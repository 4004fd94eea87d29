// Registration of the vocabulary with the host.
#pragma once
#include <cstdint>

#include "boundary.h"
#include "handlers.h"

namespace mcr {

struct WordHandler {
  FunctionHandler function;  // set for functions
  CommandHandler command;    // set for commands
};

// Handlers in the order of kWords.
extern const WordHandler kWordHandlers[];

// Offers every word to the host in table order; the first refusal ends it.
std::uint16_t RegisterWords(HostContext ctx);

}  // namespace mcr
