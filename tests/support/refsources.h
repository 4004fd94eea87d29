// The word reference of this source tree (docs/src/words.txt and the message
// catalogue, joined with the word table), read once for a suite.
#pragma once
#include "wordref.h"

namespace mcrtest {

inline const mcrref::SourceTree& ReferenceSources() {
  static mcrref::SourceTree tree;  // its refs point into its entries: it stays where it was read
  [[maybe_unused]] static const bool read = (mcrref::ReadSourceTree(MCR_SOURCE_DIR, &tree), true);
  return tree;
}

}  // namespace mcrtest
