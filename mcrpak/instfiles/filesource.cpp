#include "filesource.h"

#include <cstdint>

#include "../bridge/hostops.h"
#include "instio.h"

namespace mcr {

namespace {

struct OwnedFile {
  InstFile file;
};

// A reader that owns the file it reads.
class FileSource : private OwnedFile, public FileReader {
 public:
  explicit FileSource(InstFile file) : OwnedFile{std::move(file)}, FileReader(OwnedFile::file) {}
};

}  // namespace

bool FileReader::Seek(std::uint64_t offset) {
  if (offset > static_cast<std::uint64_t>(INT64_MAX) || !file_.Seek(static_cast<long long>(offset))) return false;
  pos_ = offset;
  return true;
}

std::size_t FileReader::Read(void* buffer, std::size_t n) {
  long long got = file_.Read(buffer, n);
  if (got <= 0) return 0;
  pos_ += static_cast<std::uint64_t>(got);
  return static_cast<std::size_t>(got);
}

std::unique_ptr<ByteSource> OpenFileSource(const std::string& path) {
  InstFile file = InstFile::OpenRead(path);
  if (!file.IsOpen()) return nullptr;
  return std::make_unique<FileSource>(std::move(file));
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
