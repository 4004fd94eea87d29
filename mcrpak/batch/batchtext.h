// The texts the batch commands hand to the data-analysis task: the import
// source of a batch, the QC request and the joined command texts. Lengths
// are in bytes of the ANSI code page.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace mcr {

// Working-buffer bounds of the batch commands (terminator not counted).
constexpr std::size_t kLinkTagLimit = 263;
constexpr std::size_t kLinkNameLimit = 263;         // methods, result files, variables
constexpr std::size_t kExistenceVarLimit = 255;     // CheckDaExistance's variable
constexpr std::size_t kCommandTextLimit = 135;      // each RunDACmd text
constexpr std::size_t kJoinedCommandLimit = 663;    // the RunDACmd texts joined
constexpr std::size_t kDataFileLimit = 261;         // BatchAdd's data file
constexpr std::size_t kImportSourceLimit = 263;     // the source path BatchOpen builds
constexpr std::size_t kQcPartsLimit = 507;          // directory, result file and QC text together
constexpr std::size_t kProfileValueLimit = 259;     // each daminf.ini or sample-name value
constexpr std::size_t kSampleNameFileLimit = 255;   // VerifyBatchQC's sample-name file, a path

// The sub-folder of a batch that holds its quantitation results.
constexpr char kQuantResults[] = "QuantResults\\";

// What DaOpenBatch is told to import, from the "DAMethInf" settings.
struct BatchImport {
  std::string source;
  bool import = false;
  bool methodAndData = false;
};
BatchImport ImportFromSettings(std::string_view doImport, std::string_view methodOnly,
                               std::string_view sourcePath, std::string_view xmlFile);

// "directory\QuantResults\<result file with .batch.xml as .qc.xml>", a tab,
// the QC text, then a tab and each sample name.
std::string QcRequestText(std::string_view directory, std::string_view resultFile,
                          std::string_view qcText, const std::vector<std::string>& sampleNames);

// The non-empty texts joined by single tabs.
std::string JoinNonEmpty(const std::vector<std::string_view>& texts);

}  // namespace mcr
