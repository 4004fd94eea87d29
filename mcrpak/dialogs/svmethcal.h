// What the method and calibration file-name dialog checks, without the
// dialog: the reserved folder extensions, the folder and file-name forms,
// and the rules a file name must meet before OK is accepted. Texts are
// Shift-JIS; a second byte is never taken for a separator or a letter.
#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mcr {

// Each folder, file name, extension entry and result buffer of the dialog
// holds this many bytes, the terminator included.
constexpr std::size_t kSvMethCalField = 257;
constexpr std::size_t kSvMethCalTextMax = kSvMethCalField - 1;
constexpr std::size_t kMaxReservedExtensions = 8;
constexpr std::size_t kFileNameMaxBytes = 8;

enum SvMethCalMessage : int {
  kMsgReservedExtension = 1037,
  kMsgNoFolder = 1038,
  kMsgInvalidFileName = 1039,
  kMsgNoTopLevelWindow = 1040,
  kMsgNameWithPath = 1041,
  kMsgNameTooLong = 1042,
};

// The entries of a list such as "M:C": split at each ":" (empty pieces
// skipped), at most 8, each given a leading "." and a trailing "\" when it
// lacks them. Null when one of the entries kept would exceed
// kSvMethCalTextMax bytes.
std::optional<std::vector<std::string>> ReservedExtensions(std::string_view list);

// The first entry that folder contains, letters compared without regard to
// case; null when none.
const std::string* FindReservedExtension(std::string_view folder, const std::vector<std::string>& entries);

// The folder as the dialog shows it: with a trailing "\" (an empty folder
// stays empty, so that OK can refuse it).
std::string FolderForm(std::string_view folder);

// The name part of a path: no drive, folder or extension.
std::string NamePart(std::string_view path);

// The message that refuses a file name typed in the dialog, 0 when it is
// accepted. Checked in this order: empty (1039), a drive, folder or
// extension (1041), more than 8 bytes (1042), a refused character (1039).
int FileNameMessage(std::string_view name);

}  // namespace mcr
