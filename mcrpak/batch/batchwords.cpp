// The data-analysis batch commands. Each command that talks to the
// data-analysis task opens one link connection, sends one request and closes
// the connection again before it returns; nothing is kept between calls.
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "../bridge/catalogue.h"
#include "../bridge/dlgframe.h"
#include "../bridge/handlers.h"
#include "../bridge/hostops.h"
#include "../bridge/rounding.h"
#include "../bridge/sjistext.h"
#include "anlink.h"
#include "batchtext.h"

using namespace mcr;

namespace {

// Command codes and the status that the edit-mode poll answers.
constexpr std::int32_t kCodeAddFile = 4;
constexpr std::int32_t kCodeAnalyze = 5;
constexpr std::int32_t kCodeImportStandard = 10;
constexpr std::int32_t kCodeVerifyQc = 12;
constexpr std::int32_t kCodeEditMode = 13;
constexpr std::int32_t kStatusEditing = 105;

constexpr int kMsgFinishEditing = 1053;
constexpr int kPromptBuffer = 256;

// BatchAdd and VerifyBatchQC connect under this tag; their own tag goes
// with the commands they send.
constexpr char kHubTag[] = "VEXHUB";
constexpr char kAddFilePrefix[] = "TRUE\tTRUE\t";
constexpr char kCommandResult[] = "DACmdRes";
constexpr char kSampleNameSection[] = "SampleName";
constexpr char kImportSection[] = "DAMethInf";
constexpr char kImportSettingsFile[] = "daminf.ini";

using SendCommand = int(WINAPI*)(HWND, const char*, char*, std::int32_t, const char*, std::int32_t*);

// One connection to the data-analysis task: the owner window and the buffer
// the link writes its error text into. A connection that is not finished by
// its command (an exception on the way) is closed all the same.
class Connection {
 public:
  Connection(HostContext ctx, const char* tag) : ctx_(ctx), owner_(GetHostWindow(ctx)), tag_(tag) {
    if (DaConnect(owner_, tag_, error_) != 0) RaiseLinkText();
    open_ = true;
  }
  ~Connection() { Close(); }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  HWND owner() const { return owner_; }
  char* error() { return error_; }

  // Closes the connection whatever the request returned; a non-zero status
  // then fails the command with the link's text.
  void Finish(int status) {
    Close();
    if (status != 0) RaiseLinkText();
  }

 private:
  void Close() {
    if (!open_) return;
    open_ = false;
    char scratch[kLinkErrorSize] = {};  // what disconnect says must not replace the request's text
    DaDisconnect(owner_, tag_, scratch);
  }
  // The link may fill its whole buffer; the text is raised as it stands but
  // for a last double-byte character the buffer cut in half.
  [[noreturn]] void RaiseLinkText() {
    error_[kLinkErrorSize - 1] = '\0';
    RaiseError(ctx_, kRaiseError, std::string(WholeCharacters(error_)).c_str());
    AbortWith(1);
  }

  HostContext ctx_;
  HWND owner_;
  const char* tag_;
  bool open_ = false;
  char error_[kLinkErrorSize] = {};
};

// Asks the task whether its method is being edited and, while it is, asks
// the user to finish the edit. False when the request must not be sent: the
// user cancelled, or the task ended meanwhile. The poll's own result is not
// used, only its status.
bool EditFinished(Connection& link, const char* tag) {
  char prompt[kPromptBuffer];
  lstrcpynA(prompt, LoadMessage(kMsgFinishEditing), sizeof prompt);
  for (;;) {
    std::int32_t status = 0;
    DaSendCommand(link.owner(), tag, link.error(), kCodeEditMode, "", &status);
    if (status != kStatusEditing) return true;
    if (MessageBoxA(link.owner(), prompt, "", MB_OKCANCEL | MB_ICONINFORMATION) != IDOK) return false;
    if (DaIsRunning() == 0) return false;
  }
}

// The frame of every command that talks to the task: connect under
// connectTag, wait out a method edit when editTag is given (the batch
// commands), run the request and disconnect. The request returns the link's
// status. Returns only when the request was sent and succeeded, or was not
// sent because the edit wait ended the command.
template <typename Request>
void Converse(HostContext ctx, const char* connectTag, const char* editTag, Request request) {
  Connection link(ctx, connectTag);
  link.Finish(editTag && !EditFinished(link, editTag) ? 0 : request(link));
}

// A batch command: one command code and text after the edit-mode wait.
void SendBatchCommand(HostContext ctx, const char* connectTag, const char* tag, SendCommand send,
                      std::int32_t code, const char* text) {
  Converse(ctx, connectTag, tag, [&](Connection& link) {
    std::int32_t status = 0;
    return send(link.owner(), tag, link.error(), code, text, &status);
  });
}

// "Given and not zero" for the optional switches.
bool Switch(const NumberArg& arg) { return arg.Or(0) != 0; }

std::string Profile(const char* section, const char* key, const char* fallback, const char* file) {
  char value[kProfileValueLimit + 1];
  GetPrivateProfileStringA(section, key, fallback, value, sizeof value, file);
  return value;
}

// The sample names RunType1, RunType2 ... up to the first missing or empty one.
std::vector<std::string> SampleNames(const char* file) {
  std::vector<std::string> names;
  for (int n = 1;; ++n) {
    std::string name = Profile(kSampleNameSection, ("RunType" + std::to_string(n)).c_str(), "", file);
    if (name.empty()) return names;
    names.push_back(std::move(name));
  }
}

}  // namespace

MCR_COMMAND(BatchAnalyzeProc) {
  Args in(ctx, args);
  const char* batch = in.Text(1).Required();
  const char* tag = in.Text(2).MaxLength(kLinkTagLimit).Or("");
  bool wait = Switch(in.Number(3));
  SendBatchCommand(ctx, tag, tag, wait ? DaSendCommand : DaSendCommandAlt, kCodeAnalyze, batch);
  return 0;
}

MCR_COMMAND(BatchAddProc) {
  Args in(ctx, args);
  const char* file = in.Text(1).Required().MaxLength(kDataFileLimit);
  const char* tag = in.Text(2).MaxLength(kLinkTagLimit).Or("");
  in.Number(3);  // read and not used
  std::string text = std::string(kAddFilePrefix) + file;
  SendBatchCommand(ctx, kHubTag, tag, DaSendCommand, kCodeAddFile, text.c_str());
  return 0;
}

MCR_COMMAND(BatchImportStdProc) {
  Args in(ctx, args);
  const char* standard = in.Text(1).Required();
  const char* tag = in.Text(2).MaxLength(kLinkTagLimit).Or("");
  in.Number(3);  // read and not used
  SendBatchCommand(ctx, tag, tag, DaSendCommand, kCodeImportStandard, standard);
  return 0;
}

// The program directory and the import settings come before the arguments:
// without a program directory the command fails before anything else.
MCR_COMMAND(BatchOpenProc) {
  char exePath[kStrVarBound];
  GetStrVar(ctx, "_EXEPATH$", exePath);
  if (!*exePath) AbortWith(1);
  const std::string ini = std::string(exePath) + kImportSettingsFile;
  auto setting = [&](const char* key, const char* fallback) {
    return Profile(kImportSection, key, fallback, ini.c_str());
  };
  const BatchImport import = ImportFromSettings(setting("DoImport", "0"), setting("MethodOnly", "0"),
                                                setting("SourcePath", ""), setting("XmlFile", ""));
  if (import.source.size() > kImportSourceLimit) Abort(ctx, kMsgTooLong, static_cast<int>(kImportSourceLimit));

  Args in(ctx, args);
  const char* batch = in.Text(1).Required();
  const char* tag = in.Text(2).MaxLength(kLinkTagLimit).Or("");
  const int open = in.Number(3).Or(1) == 0 ? 0 : 1;
  Converse(ctx, tag, tag, [&](Connection& link) {
    return DaOpenBatch(link.owner(), tag, link.error(), batch, import.source.c_str(), import.import ? 1 : 0,
                       import.methodAndData ? 1 : 0, open);
  });
  return 0;
}

MCR_COMMAND(VerifyBatchQCProc) {
  Args in(ctx, args);
  // All four are required before any of them is measured.
  TextArg directory = in.Text(1), resultFile = in.Text(2), qcText = in.Text(3), nameFile = in.Text(4);
  for (TextArg* required : {&directory, &resultFile, &qcText, &nameFile}) required->Required();
  resultFile.MaxLength(kLinkNameLimit);
  nameFile.MaxLength(kSampleNameFileLimit);
  const char* tag = in.Text(5).MaxLength(kLinkTagLimit).Or("");
  if (std::strlen(directory) + std::strlen(resultFile) + std::strlen(qcText) > kQcPartsLimit)
    Abort(ctx, kMsgTooLong, static_cast<int>(kQcPartsLimit));

  const std::vector<std::string> names = SampleNames(nameFile);
  if (names.empty()) return 0;  // nothing to verify
  const std::string request = QcRequestText(directory.get(), resultFile.get(), qcText.get(), names);
  SendBatchCommand(ctx, kHubTag, tag, DaSendCommand, kCodeVerifyQc, request.c_str());
  return 0;
}

MCR_COMMAND(RunDACmdProc) {
  Args in(ctx, args);
  const std::int32_t code = TruncToInt(in.Number(1).Required().Or(0));
  const char* tag = in.Text(2).Required().MaxLength(kLinkTagLimit);
  const bool wait = Switch(in.Number(3));
  std::vector<std::string_view> texts;
  for (int i = 4; i <= 8; ++i) texts.push_back(in.Text(i).MaxLength(kCommandTextLimit).Or(""));
  const std::string text = JoinNonEmpty(texts);
  if (text.size() > kJoinedCommandLimit) Abort(ctx, kMsgTooLong, static_cast<int>(kJoinedCommandLimit));

  std::int32_t status = 0;
  Converse(ctx, tag, nullptr, [&](Connection& link) {
    return (wait ? DaSendCommand : DaSendCommandAlt)(link.owner(), tag, link.error(), code, text.c_str(), &status);
  });
  SetNumVar(ctx, kCommandResult, status);
  return 0;
}

// Nothing to wait for while the task is not running; not even the arguments
// are read then.
MCR_COMMAND(WaitForDARunProc) {
  if (DaIsRunning() == 0) return 0;
  Args in(ctx, args);
  const char* tag = in.Text(1).Required().MaxLength(kLinkTagLimit);
  const bool alternate = in.Number(2).Or(1) == 0;
  Converse(ctx, tag, nullptr, [&](Connection& link) {
    return (alternate ? DaWaitRunAlt : DaWaitRun)(link.owner(), tag, link.error());
  });
  return 0;
}

// A failure inside the edit-mode query reads as "not being edited".
MCR_COMMAND(CheckEditModeProc) {
  Args in(ctx, args);
  TextArg tag = in.Text(1), variable = in.Text(2);
  tag.Required();
  variable.Required();
  tag.MaxLength(kLinkTagLimit);
  variable.MaxLength(kLinkNameLimit);
  int editing = 0;
  if (DaIsRunning() != 0) {
    Converse(ctx, tag, nullptr, [&](Connection& link) {
      editing = DaIsEditMode(link.owner(), tag, link.error()) != 0 ? 1 : 0;
      return 0;
    });
  }
  SetNumVar(ctx, variable, editing);
  return 0;
}

MCR_COMMAND(CheckDaExistanceProc) {
  Args in(ctx, args);
  const char* variable = in.Text(1).Required().MaxLength(kExistenceVarLimit);
  SetNumVar(ctx, variable, DaIsRunning());
  return 0;
}

MCR_COMMAND(GetMethAcqModeProc) {
  Args in(ctx, args);
  TextArg method = in.Text(1), variable = in.Text(2);
  method.Required();
  variable.Required();
  method.MaxLength(kLinkNameLimit);
  variable.MaxLength(kLinkNameLimit);
  SetNumVar(ctx, variable, QueryMethAcqMode(method));
  return 0;
}

MCR_COMMAND(BringDAToTopProc) {
  DaBringToTop();
  return 0;
}
