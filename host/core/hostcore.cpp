#include "hostcore.h"

#include <cstdio>
#include <cstring>

#include "../../mcrpak/bridge/wordtable.h"

namespace mcrhost {

using namespace mcr;

namespace {

LRESULT CALLBACK HostWndProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  return DefWindowProcA(w, m, wp, lp);
}

std::string Hex(std::uintptr_t v) {
  char b[32];
  std::snprintf(b, sizeof b, "0x%llx", static_cast<unsigned long long>(v));
  return b;
}

std::string Quote(const char* s) { return s ? "\"" + AnsiToUtf8(s) + "\"" : "null"; }

}  // namespace

const std::string* Outcome::error() const {
  for (const Raised& r : raised)
    if (r.kind == kRaiseError) return &r.text;
  return nullptr;
}

std::string Utf8ToAnsi(const std::string& text) {
  if (text.empty()) return {};
  int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  // A character without a code of its own becomes "?", never a look-alike
  // from the system's best-fit table (which would make é an e).
  int m = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), n, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(m), '\0');
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), n, out.data(), m, nullptr, nullptr);
  return out;
}

std::string AnsiToUtf8(const std::string& text) {
  if (text.empty()) return {};
  int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  int m = WideCharToMultiByte(CP_UTF8, 0, wide.data(), n, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(m), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), n, out.data(), m, nullptr, nullptr);
  return out;
}

const char* OpName(std::uint32_t op) {
  switch (op) {
    case kOpRegisterFunction: return "RegisterFunction";
    case kOpRegisterCommand: return "RegisterCommand";
    case kOpSetHostBusy: return "SetHostBusy";
    case kOpGetTableVar: return "GetTableVar";
    case kOpSetTableVar: return "SetTableVar";
    case kOpGetHostWindow: return "GetHostWindow";
    case kOpResolveHandle: return "ResolveHandle";
    case kOpGetNumVar: return "GetNumVar";
    case kOpSetNumVar: return "SetNumVar";
    case kOpGetStrVar: return "GetStrVar";
    case kOpSetStrVar: return "SetStrVar";
    case kOpDeleteVar: return "DeleteVar";
    case kOpSetStringResult: return "SetStringResult";
    case kOpSetNumberResult: return "SetNumberResult";
    case kOpShowMessage: return "ShowMessage";
    case kOpRaiseError: return "RaiseError";
    case kOpCreateTable: return "CreateTable";
    case kOpGetTableItem: return "GetTableItem";
    case kOpSetTableItem: return "SetTableItem";
    case kOpGetTableSize: return "GetTableSize";
    case kOpShowHelpTopic: return "ShowHelpTopic";
    default: return "unknown";
  }
}

Host::Host(HostOptions options) : options_(std::move(options)) {
  if (options_.sharedWindow) {
    window_ = options_.sharedWindow;
    return;
  }
  HINSTANCE self = options_.instance ? options_.instance : GetModuleHandleA(nullptr);
  WNDCLASSA wc{};
  if (!GetClassInfoA(self, options_.windowClass.c_str(), &wc)) {
    wc = WNDCLASSA{};
    wc.lpfnWndProc = HostWndProc;
    wc.hInstance = self;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = options_.windowClass.c_str();
    RegisterClassA(&wc);
  }
  if (options_.createWindow)
    window_ = CreateWindowExA(0, options_.windowClass.c_str(), "mcrhost", WS_OVERLAPPEDWINDOW,
                              CW_USEDEFAULT, CW_USEDEFAULT, 640, 480, nullptr, nullptr, self,
                              nullptr);
  if (window_ && options_.showWindow) ShowWindow(window_, SW_SHOWNORMAL);
}

Host::~Host() {
  close();
  if (window_ && !options_.sharedWindow) DestroyWindow(window_);
}

std::uint16_t Host::open(const char* libraryPath, std::string* error) {
  auto fail = [&](std::uint16_t status, std::string why) {
    if (error) *error = std::move(why);
    return status;
  };
  library_ = LoadLibraryA(libraryPath);
  if (!library_)
    return fail(1, std::string("cannot load ") + libraryPath + " (error " +
                       std::to_string(GetLastError()) + ")");
  entry_ = reinterpret_cast<OocpsrvEntry>(
      reinterpret_cast<void*>(GetProcAddress(library_, "OOCPSRV")));
  if (!entry_) return fail(1, "the library has no OOCPSRV entry");
  ConnectPacket packet{};
  packet.callback = &Host::Callback;
  packet.cookie = reinterpret_cast<std::uintptr_t>(this);
  if (std::uint16_t s = entry_(nullptr, kCodeConnect, reinterpret_cast<std::uintptr_t>(&packet), 0))
    return fail(s, "connect refused");
  context_ = packet.context;
  if (std::uint16_t s = server(kCodeRegister))
    return fail(s, "registration ended with status " + std::to_string(s));
  return 0;
}

void Host::close() {
  if (context_) server(kCodeDisconnect);
  context_ = nullptr;
  if (library_) FreeLibrary(library_);
  library_ = nullptr;
  entry_ = nullptr;
}

void Host::abandon() {
  context_ = nullptr;
  close();
}

std::uint16_t Host::server(std::uint32_t code) {
  if (!entry_) return 1;
  return entry_(context_, code, 0, 0);
}

const Word* Host::find(const std::string& name) const {
  auto it = index_.find(VarStore::Key(name));
  return it == index_.end() ? nullptr : &words_[it->second];
}

HostHandle Host::handleFor(void* p) {
  HostHandle h = nextHandle_++;
  handles_[h] = p;
  return h;
}

Outcome Host::call(const std::string& name, const std::vector<Arg>& args) {
  if (const Word* w = find(name)) return call(*w, args);
  Outcome o;
  o.status = 1;
  o.raised.push_back({kRaiseError, "unknown word " + name});
  return o;
}

Outcome Host::call(const Word& word, const std::vector<Arg>& args) {
  Outcome outcome;
  // Storage that stays put while the handler runs.
  std::deque<std::string> texts;
  std::deque<double> numbers;
  std::vector<HostHandle> list(word.kinds.size() + 1, 0);
  auto saved = handles_;
  for (std::size_t i = 0; i < word.kinds.size() && i < args.size(); ++i) {
    if (!args[i]) continue;
    if (word.kinds[i] == kKindNumber) {
      numbers.push_back(args[i]->isString ? 0.0 : args[i]->number);
      list[i] = handleFor(&numbers.back());
    } else {
      texts.push_back(args[i]->text);
      list[i] = handleFor(texts.back().data());
    }
  }
  HostHandle listHandle = handleFor(list.data());
  Outcome* outer = current_;
  HostHandle outerResult = resultHandle_;
  current_ = &outcome;
  resultHandle_ = word.function ? handleFor(&outcome) : 0;
  outcome.status = word.function
                       ? word.functionHandler(listHandle, resultHandle_, context_)
                       : word.commandHandler(listHandle, context_);
  current_ = outer;
  resultHandle_ = outerResult;
  handles_ = std::move(saved);
  return outcome;
}

void Host::pump(DWORD ms) {
  DWORD start = GetTickCount();
  do {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    if (ms) MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  } while (GetTickCount() - start < ms);
}

std::uint16_t MCR_CALLEE Host::Callback(std::uintptr_t cookie, std::uint32_t op,
                                        std::uintptr_t a1, std::uintptr_t a2) {
  auto* host = reinterpret_cast<Host*>(cookie);
  std::string detail;
  std::uint16_t status = host->dispatch(op, a1, a2, host->onTrace ? &detail : nullptr);
  if (host->onTrace) host->onTrace(OpName(op), detail, status);
  return status;
}

std::uint16_t Host::dispatch(std::uint32_t op, std::uintptr_t a1, std::uintptr_t a2,
                             std::string* detail) {
  auto name = reinterpret_cast<const char*>(a1);
  // The trace text is made only when somebody traces: building it for every
  // table item would cost more than the item.
  auto note = [&](auto make) {
    if (detail) *detail = make();
  };
  switch (op) {
    case kOpRegisterFunction:
    case kOpRegisterCommand: {
      bool fn = op == kOpRegisterFunction;
      Word w;
      w.function = fn;
      std::uint16_t count;
      const char* wordName;
      if (fn) {
        auto* rec = reinterpret_cast<const FunctionRecord*>(a1);
        wordName = rec->name;
        count = rec->paramCount;
        w.functionHandler = rec->handler;
      } else {
        auto* rec = reinterpret_cast<const CommandRecord*>(a1);
        wordName = rec->name;
        count = rec->paramCount;
        w.commandHandler = rec->handler;
        w.recordZeros = rec->zero1 + rec->zero2;
      }
      w.name = wordName;
      auto* kinds = reinterpret_cast<const std::uint8_t*>(a2);
      w.kinds.assign(kinds, kinds + count);
      std::memcpy(w.kindBytesSeen, kinds, sizeof w.kindBytesSeen);
      note([&] { return w.name + " (" + std::to_string(count) + ")"; });
      if (registrations_++ == options_.refuseAt) return options_.refuseStatus;
      index_[VarStore::Key(w.name)] = words_.size();
      words_.push_back(std::move(w));
      return 0;
    }
    case kOpSetHostBusy:
      busy_ = (a1 & 0xFFFF) != 0;
      note([&] { return busy_ ? "busy" : "not busy"; });
      return 0;
    case kOpGetTableVar: {
      const Var* v = vars_.find(name);
      note([&] { return Quote(name); });
      if (!v || v->type != Var::Type::Table) return 1;
      *reinterpret_cast<HostHandle*>(a2) = v->table;
      return 0;
    }
    case kOpSetTableVar:
      note([&] { return Quote(name) + " = table " + std::to_string(a2); });
      if (!vars_.table(static_cast<std::uint32_t>(a2))) return 1;
      vars_.setTable(name, static_cast<std::uint32_t>(a2));
      return 0;
    case kOpGetHostWindow:
      *reinterpret_cast<HWND*>(a2) = window_;
      note([&] { return Hex(reinterpret_cast<std::uintptr_t>(window_)); });
      windowRefusals_ += window_ ? 0 : 1;
      return window_ ? 0 : 1;
    case kOpResolveHandle: {
      auto it = handles_.find(a1);
      if (it != handles_.end()) *reinterpret_cast<void**>(a2) = it->second;
      note([&] { return Hex(a1); });
      return it == handles_.end() ? 1 : 0;
    }
    case kOpGetNumVar: {
      const Var* v = vars_.find(name);
      note([&] { return Quote(name); });
      if (!v || v->type != Var::Type::Number) return 1;
      *reinterpret_cast<double*>(a2) = v->number;
      return 0;
    }
    case kOpSetNumVar:
      vars_.setNumber(name, *reinterpret_cast<const double*>(a2));
      note([&] { return Quote(name) + " = " + std::to_string(*reinterpret_cast<const double*>(a2)); });
      return 0;
    case kOpGetStrVar: {
      const Var* v = vars_.find(name);
      note([&] { return Quote(name); });
      if (!v || v->type != Var::Type::String) return 1;
      // No size is passed: never write more than the bound.
      std::size_t n = v->text.size() < kStrVarBound - 1 ? v->text.size() : kStrVarBound - 1;
      auto* out = reinterpret_cast<char*>(a2);
      std::memcpy(out, v->text.data(), n);
      out[n] = '\0';
      return 0;
    }
    case kOpSetStrVar:
      vars_.setString(name, reinterpret_cast<const char*>(a2));
      note([&] { return Quote(name) + " = " + Quote(reinterpret_cast<const char*>(a2)); });
      return 0;
    case kOpDeleteVar:
      vars_.erase(name);
      note([&] { return Quote(name); });
      return 0;
    case kOpSetStringResult:
    case kOpSetNumberResult: {
      if (!current_ || a1 != resultHandle_) return 1;
      if (op == kOpSetStringResult) {
        current_->result = Value::Str(reinterpret_cast<const char*>(a2));
        note([&] { return Quote(reinterpret_cast<const char*>(a2)); });
      } else {
        current_->result = Value::Num(*reinterpret_cast<const double*>(a2));
        note([&] { return std::to_string(current_->result->number); });
      }
      return 0;
    }
    case kOpShowMessage:
      shown_.push_back(name);
      note([&] { return Quote(name); });
      if (onShow) onShow(name);
      return 0;
    case kOpRaiseError: {
      auto kind = static_cast<std::uint16_t>(a1 & 0xFFFF);
      const char* text = reinterpret_cast<const char*>(a2);
      note([&] { return std::to_string(kind) + " " + Quote(text); });
      if (current_) current_->raised.push_back({kind, text ? text : ""});
      if (kind == kRaiseMessage && onShow) onShow(text ? text : "");
      return 0;
    }
    case kOpCreateTable: {
      std::uint32_t id = vars_.newTable(a2 & 0xFFFF);
      *reinterpret_cast<HostHandle*>(a1) = id;
      note([&] { return std::to_string(a2 & 0xFFFF) + " elements -> " + std::to_string(id); });
      return 0;
    }
    case kOpGetTableItem:
    case kOpSetTableItem: {
      auto* ref = reinterpret_cast<const ElementRef*>(a1);
      std::vector<double>* t = vars_.table(static_cast<std::uint32_t>(ref->table));
      note([&] { return "table " + std::to_string(ref->table) + "[" + std::to_string(ref->index) + "]"; });
      if (!t || ref->index >= t->size()) return 1;
      if (op == kOpGetTableItem)
        *reinterpret_cast<double*>(a2) = (*t)[ref->index];
      else
        (*t)[ref->index] = *reinterpret_cast<const double*>(a2);
      return 0;
    }
    case kOpGetTableSize: {
      std::vector<double>* t = vars_.table(static_cast<std::uint32_t>(a1));
      note([&] { return "table " + std::to_string(a1); });
      if (!t) return 1;
      *reinterpret_cast<std::uint32_t*>(a2) = static_cast<std::uint32_t>(t->size());
      return 0;
    }
    case kOpShowHelpTopic:
      helpTopic_ = static_cast<std::uint32_t>(a2);
      note([&] { return Hex(a2); });
      return 0;
    default:
      note([&] { return "opcode " + std::to_string(op); });
      return 1;
  }
}

}  // namespace mcrhost
