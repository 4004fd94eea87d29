// Where the instrument words find their files: the layouts' view of a file
// on disk (opened for reading with read sharing) and the method directory.
#pragma once
#include <memory>
#include <string>

#include "../bridge/boundary.h"
#include "bytesource.h"

namespace mcr {

// Null when the file cannot be opened.
std::unique_ptr<ByteSource> OpenFileSource(const std::string& path);

// The method directory a word works in: its argument when given and not
// empty, otherwise the host's current method "_CurrentMeth$".
std::string MethodDirectory(HostContext ctx, const char* argument);
std::string CurrentMethodDirectory(HostContext ctx);

}  // namespace mcr
