// Where the instrument words find their files: the layouts' view of a file
// on disk (opened for reading with read sharing) and the method directory.
#pragma once
#include <memory>
#include <string>

#include "../bridge/boundary.h"
#include "bytesource.h"
#include "instio.h"

namespace mcr {

// Null when the file cannot be opened. Reads go through a read-ahead block.
std::unique_ptr<ByteSource> OpenFileSource(const std::string& path);

// The same reading view of a file the caller holds open, for the words that
// also write it: their writes go to the file itself, after the reading.
class FileReader : public ReadAheadSource {
 public:
  explicit FileReader(InstFile& file);
};

// The method directory a word works in: its argument when given and not
// empty, otherwise the host's current method "_CurrentMeth$".
std::string MethodDirectory(HostContext ctx, const char* argument);
std::string CurrentMethodDirectory(HostContext ctx);

}  // namespace mcr
