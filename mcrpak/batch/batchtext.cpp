#include "batchtext.h"

#include "../bridge/sjistext.h"

namespace mcr {

namespace {

constexpr std::string_view kBatchXml = ".batch.xml";
constexpr std::string_view kQcXml = ".qc.xml";
constexpr std::string_view kCalibrationSuffix = ".C";

// Every suffix compared here begins with '.', which is never the second
// byte of a double-byte character, so a plain byte comparison is exact.
bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && EqualNoCase(text.substr(text.size() - suffix.size()), suffix);
}

// The folder with exactly one backslash after it (an empty folder gets one too).
std::string Folder(std::string_view folder) {
  std::string out(folder);
  if (!EndsWithBackslash(folder)) out += '\\';
  return out;
}

}  // namespace

BatchImport ImportFromSettings(std::string_view doImport, std::string_view methodOnly,
                               std::string_view sourcePath, std::string_view xmlFile) {
  BatchImport b;
  b.import = doImport != "0";
  b.methodAndData = methodOnly == "0";
  if (EndsWithNoCase(xmlFile, kBatchXml)) {
    b.source = Folder(sourcePath) + kQuantResults + std::string(xmlFile);
  } else if (EndsWithNoCase(xmlFile, kCalibrationSuffix)) {
    b.source = Folder(sourcePath) + std::string(xmlFile);
  } else {
    b.source = std::string(sourcePath);
    b.import = false;
  }
  return b;
}

std::string QcRequestText(std::string_view directory, std::string_view resultFile,
                          std::string_view qcText, const std::vector<std::string>& sampleNames) {
  std::string text = Folder(directory) + kQuantResults;
  if (EndsWithNoCase(resultFile, kBatchXml)) {
    text.append(resultFile.substr(0, resultFile.size() - kBatchXml.size()));
    text.append(kQcXml);
  } else {
    text.append(resultFile);
  }
  text.append("\t").append(qcText);
  for (const std::string& name : sampleNames) text.append("\t").append(name);
  return text;
}

std::string JoinNonEmpty(const std::vector<std::string_view>& texts) {
  std::string joined;
  for (std::string_view t : texts) {
    if (t.empty()) continue;
    if (!joined.empty()) joined += '\t';
    joined.append(t);
  }
  return joined;
}

}  // namespace mcr
