// Counts that grow when something opened is not released, for tests that
// open and close a thing many times (Wine's GetGuiResources and
// GetProcessHandleCount are stubs that return 0).
#pragma once
#include <windows.h>

#include <cstddef>

namespace mcrtest {

// Windows of the calling thread, child windows included.
std::size_t ThreadWindowCount();
// Kernel handles the process holds.
std::size_t ProcessHandleCount();
// Whether the icon handle still names an icon.
bool IconAlive(HICON icon);
// Blocks in use on every heap of the process: the process heap (global and
// local memory blocks) and the C runtime's own (what new and malloc give).
std::size_t HeapBlockCount();

}  // namespace mcrtest
