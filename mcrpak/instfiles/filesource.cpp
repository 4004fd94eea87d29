#include "filesource.h"

#include <cstdint>

#include "../bridge/hostops.h"
#include "instio.h"

namespace mcr {

namespace {

// The source's offsets are at most INT64_MAX, which the file takes.
ReadAtFunction ReadAtOf(InstFile& file) {
  return [&file](std::uint64_t offset, void* buffer, std::size_t n) {
    return file.ReadAt(static_cast<long long>(offset), buffer, n);
  };
}

// The file comes first among the bases, so it is open before the reader
// that uses it and closed after it.
struct FileHolder {
  InstFile file;
};

class OwnedFileSource : private FileHolder, public FileReader {
 public:
  explicit OwnedFileSource(InstFile owned) : FileHolder{std::move(owned)}, FileReader(FileHolder::file) {}
};

}  // namespace

FileReader::FileReader(InstFile& file) : ReadAheadSource(ReadAtOf(file)) {}

std::unique_ptr<ByteSource> OpenFileSource(const std::string& path) {
  InstFile file = InstFile::OpenRead(path);
  if (!file.IsOpen()) return nullptr;
  return std::make_unique<OwnedFileSource>(std::move(file));
}

std::string CurrentMethodDirectory(HostContext ctx) {
  char value[kStrVarBound] = {};
  if (GetStrVar(ctx, "_CurrentMeth$", value) != 0) return {};
  value[kStrVarBound - 1] = '\0';
  return value;
}

std::string MethodDirectory(HostContext ctx, const char* argument) {
  if (argument && *argument) return argument;
  return CurrentMethodDirectory(ctx);
}

}  // namespace mcr
