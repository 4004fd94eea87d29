// Corrupt instrument files must never crash the readers or make them loop:
// arbitrary bytes go through every reader of calibration, QC-database,
// tune-criteria and run-group files and through the header decoders.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "instfiles/bytesource.h"
#include "instfiles/calblayout.h"
#include "instfiles/datalayout.h"
#include "instfiles/masslist.h"
#include "instfiles/methlayout.h"
#include "instfiles/qclayout.h"
#include "instfiles/runmasses.h"
#include "instfiles/seqlayout.h"

using namespace mcr;

namespace {

// The input padded with zeros to at least n bytes, for decoders of
// fixed-size records.
std::vector<std::uint8_t> Padded(const std::uint8_t* data, std::size_t size, std::size_t n) {
  std::vector<std::uint8_t> v(data, data + size);
  if (v.size() < n) v.resize(n, 0);
  return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const int reader = data[0] % 8;
  const auto selector = static_cast<Selector>(data[1] % 8);
  std::vector<std::uint8_t> file(data + 2, data + size);
  MemorySource source(file);
  std::int32_t group = static_cast<std::int32_t>(data[1]);
  switch (reader) {
    case 0: ListCalibration(source, selector, "(x)"); break;
    case 1: ListQcDatabase(source, selector, data[1] & 1 ? &group : nullptr); break;
    case 2: ListTuneCriteria(source, selector); break;
    case 3: FindQcCheck(source, group, data[1]); break;
    case 4: ForEachMassRecord(source, [](const MassRecord&) {}); break;
    case 5: {
      // Both halves of the input: a calibration and a run group.
      std::size_t half = file.size() / 2;
      MemorySource calibration(std::vector<std::uint8_t>(file.begin(), file.begin() + half));
      MemorySource runGroup(std::vector<std::uint8_t>(file.begin() + half, file.end()));
      CompareCalibration(&calibration, &runGroup);
      break;
    }
    case 6: {
      std::vector<std::uint8_t> header = Padded(file.data(), file.size(), kSeqHeaderSize);
      for (const char* name : {"Comment", "Operator", "DataPath", "PreSeq", "PostSeq"})
        SeqText(header.data(), *FindSeqTextField(name));
      std::vector<std::uint8_t> row = Padded(file.data(), file.size(), kSeqRowSize);
      SeqRowKeyword(row.data());
      SeqRowMethodPath(row.data());
      SeqExtensionBytes(row.data());
      break;
    }
    default: {
      std::vector<std::uint8_t> header = Padded(file.data(), file.size(), kDataHeaderSize);
      for (int v = 0; v < 7; ++v) GetHeaderVar(header.data(), static_cast<HeaderVar>(v));
      ElementTableStart(header.data());
      std::int32_t list[10] = {};
      int count = 0;
      RunGroupsOf(static_cast<std::int32_t>(data[1] % 7), file.data(), file.size(), list, &count);
      ParseVarList(file.data(), file.size());
      break;
    }
  }
  return 0;
}
