#include "registry.h"

#include "hostops.h"
#include "wordtable.h"

namespace mcr {

const WordHandler kWordHandlers[] = {
#define MCR_PICK_READY_F(h) {&h, nullptr}
#define MCR_PICK_READY_C(h) {nullptr, &h}
#define MCR_PICK_PENDING_F(h) {&McrPendingFunction, nullptr}
#define MCR_PICK_PENDING_C(h) {nullptr, &McrPendingCommand}
#define MCR_FN(name, handler, ord, kinds, state, pnames, summary) MCR_PICK_##state##_F(handler),
#define MCR_CMD(name, handler, ord, kinds, state, pnames, summary) MCR_PICK_##state##_C(handler),
#include "words.inc"
#undef MCR_FN
#undef MCR_CMD
};
static_assert(sizeof kWordHandlers / sizeof kWordHandlers[0] == kWordCount,
              "one handler per word");

std::uint16_t RegisterWords(HostContext ctx) {
  // Filled in place row after row and never cleared: the host reads only
  // the first paramCount bytes.
  static std::uint8_t kinds[16];
  for (std::size_t i = 0; i < kWordCount; ++i) {
    const WordInfo& w = kWords[i];
    std::uint16_t count = 0;
    for (const char* p = w.params; *p; ++p) kinds[count++] = KindByte(*p);
    std::uint16_t status;
    if (w.kind == WordKind::Function) {
      FunctionRecord rec{ctx, w.name, kWordHandlers[i].function, count};
      status = CallHost(ctx, kOpRegisterFunction, reinterpret_cast<std::uintptr_t>(&rec),
                        reinterpret_cast<std::uintptr_t>(kinds));
    } else {
      CommandRecord rec{ctx, w.name, kWordHandlers[i].command, 0, 0, count};
      status = CallHost(ctx, kOpRegisterCommand, reinterpret_cast<std::uintptr_t>(&rec),
                        reinterpret_cast<std::uintptr_t>(kinds));
    }
    if (status != 0) return status;
  }
  return 0;
}

}  // namespace mcr
