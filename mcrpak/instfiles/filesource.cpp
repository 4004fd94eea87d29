#include "filesource.h"

#include <cstdint>

#include "../bridge/hostops.h"
#include "instio.h"

namespace mcr {

namespace {

class FileSource : public ByteSource {
 public:
  explicit FileSource(InstFile file) : file_(std::move(file)) {}
  bool Seek(std::uint64_t offset) override {
    if (offset > static_cast<std::uint64_t>(INT64_MAX) || !file_.Seek(static_cast<long long>(offset)))
      return false;
    pos_ = offset;
    return true;
  }
  std::uint64_t Position() const override { return pos_; }
  std::size_t Read(void* buffer, std::size_t n) override {
    long long got = file_.Read(buffer, n);
    if (got <= 0) return 0;
    pos_ += static_cast<std::uint64_t>(got);
    return static_cast<std::size_t>(got);
  }

 private:
  InstFile file_;
  std::uint64_t pos_ = 0;
};

}  // namespace

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
