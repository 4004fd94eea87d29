// The library as the workstation meets it: loading, the server codes, connections, registration of the
// vocabulary, its resources, the workstation's dialog library it imports, and the host's own variables.
#include <windows.h>

#include <sstream>

#include "bridge/wordtable.h"
#include "bytes.h"
#include "testhost.h"

namespace mcrtest {
namespace {

// (The export table itself is checked on the shipped library: i686_exports.)
TEST(Registration, OffersAllWordsInTableOrderWithTheirKindsAndExports) {
  auto host = OpenHost();
  const auto& words = host->words();
  ASSERT_EQ(words.size(), 94u);
  for (std::size_t i = 0; i < words.size(); ++i) {
    const Word& w = words[i];
    const mcr::WordInfo& row = mcr::kWords[i];
    std::vector<std::uint8_t> kinds;
    for (const char* p = row.params; *p; ++p) kinds.push_back(mcr::KindByte(*p));
    EXPECT_TRUE(w.name == row.name && w.function == (i < 30) && w.kinds == kinds && !w.recordZeros) << i;
    auto handler = w.function ? reinterpret_cast<FARPROC>(w.functionHandler) : reinterpret_cast<FARPROC>(w.commandHandler);
    EXPECT_TRUE(handler == GetProcAddress(host->library(), row.exportName) &&
                handler == GetProcAddress(host->library(), MAKEINTRESOURCEA(row.ordinal))) << row.name;
    // The kind bytes are filled in place and never cleared: past this row's count lies what rows before left.
    for (std::size_t k = kinds.size(); i > 0 && k < 8; ++k) EXPECT_EQ(w.kindBytesSeen[k], words[i - 1].kindBytesSeen[k]);
  }
  // The kind bytes themselves, independently of the table: S, N and V.
  EXPECT_EQ(words[0].kinds, (std::vector<std::uint8_t>{0x01, 0x00}));
  EXPECT_EQ(words[30].kinds, (std::vector<std::uint8_t>{0x01, 0xFE, 0xFE, 0xFE, 0xFE}));
}

// A refusal by the host stops registration at once with its status (the first and last function, the
// first and last command); unknown server codes fail and change nothing.
TEST(Registration, HostRefusalsAndServerCodes) {
  for (auto [refuseAt, status] : {std::pair{0, 7}, {29, 9}, {30, 5}, {93, 3}}) {
    mcrhost::HostOptions options;
    options.refuseAt = refuseAt;
    options.refuseStatus = static_cast<std::uint16_t>(status);
    Host host(options);
    EXPECT_EQ(host.open(LibraryPath().c_str()), status) << refuseAt;
    EXPECT_EQ(host.offered(), refuseAt + 1);
  }
  auto host = OpenHost();
  for (auto [code, status] : {std::pair{0u, 1}, {4u, 0}, {7u, 1}, {0xFFFFu, 1}}) EXPECT_EQ(host->server(code), status);
  EXPECT_EQ(host->call("Left$", {S("abc"), N(2)}).result->text, "ab");
}

// Seven connections pass the first growth to 10; removals keep the others' order, a later one takes a freed
// place. A packet gets the entry and a context, the rest stays; without a callback registration ends at once
// (1). Unloading with connections open calls no host; loading again starts from a clean table.
TEST(Connections, GrowthRemovalNoCallbackAndDetach) {
  std::vector<std::unique_ptr<Host>> hosts(7);
  for (auto& h : hosts) h = OpenHost();
  for (std::size_t i : {0, 3}) hosts[i]->close();
  hosts.push_back(OpenHost());
  for (std::size_t i : {1, 2, 4, 5, 6, 7})
    EXPECT_TRUE(hosts[i]->call("GetToken", {S("a,b,c"), S(","), N(2), S("T$")}).status == 0 &&
                StrVar(*hosts[i], "T$") == "b") << i;
  HMODULE lib = hosts[1]->library();
  auto entry = reinterpret_cast<mcr::OocpsrvEntry>(reinterpret_cast<void*>(GetProcAddress(lib, "OOCPSRV")));
  mcr::ConnectPacket packet{};
  packet.reserved = 0xBEEF;
  ASSERT_TRUE(entry && entry(nullptr, 2, reinterpret_cast<std::uintptr_t>(&packet), 0) == 0);
  EXPECT_TRUE(packet.entry == entry && packet.context && packet.reserved == 0xBEEF);
  EXPECT_EQ(entry(packet.context, 3, 0, 0), 1);
  for (auto& h : hosts) {
    h->onTrace = [](const char* op, const std::string&, std::uint16_t) { ADD_FAILURE() << "the host is called: " << op; };
    h->abandon();
  }
  EXPECT_EQ(GetModuleHandleA("MCRPAK.dll"), nullptr);
  EXPECT_EQ(OpenHost()->words().size(), 94u);
}

// A disconnect undoes SETICON (which keeps its icon as a property of the host window): the window's
// icons go and the icon is destroyed, once; a window no macro gave an icon keeps its own.
TEST(Connections, DisconnectUndoesSetIconOnly) {
  auto host = OpenHost();
  HWND window = host->window();
  HICON own = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION)), set = CopyIcon(own);
  ICONINFO info;
  for (HICON property : {HICON(nullptr), set, HICON(nullptr)}) {
    SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(own));
    if (property) SetPropA(window, "HICON", property);
    host->close();
    EXPECT_EQ(SendMessageA(window, WM_GETICON, ICON_BIG, 0) | SendMessageA(window, WM_GETICON, ICON_SMALL, 0),
              property ? 0 : reinterpret_cast<LRESULT>(own));
    ASSERT_EQ(host->open(LibraryPath().c_str()), 0);
  }
  EXPECT_FALSE(GetIconInfo(set, &info)) << "the icon is destroyed";
}

// The message popup's font and catalogue texts with special characters, as tests/golden/resources.txt
// spells them.
TEST(Resources, BytesAreTheGoldenFiles) {
  auto host = OpenHost();
  std::istringstream golden(ReadAll(std::string(MCR_SOURCE_DIR) + "/tests/golden/resources.txt"));
  int resources = 0;
  for (std::string line, name; std::getline(golden, line);) {
    std::istringstream words(line);
    std::string expected, got(512, '\0');
    if (line.empty() || line[0] == '#' || !(words >> name) || ++resources == 0) continue;
    for (unsigned byte; words >> std::hex >> byte;) expected += static_cast<char>(byte);
    if (HRSRC r = FindResourceA(host->library(), name.c_str(), "MCRPAK_RES"))
      got.assign(static_cast<const char*>(LockResource(LoadResource(host->library(), r))), SizeofResource(host->library(), r));
    else
      got.resize(std::max(0, LoadStringA(host->library(), std::atoi(name.c_str()), &got[0], 512)));
    EXPECT_EQ(got, expected) << name;
  }
  EXPECT_EQ(resources, 5);
}

// The stand-in of the workstation's dialog library, where the words' suites do not reach it: a method
// it cannot read (too short, or none) gives -1, and the file is let go of.
TEST(DialogLibrary, UnreadableMethods) {
  auto host = OpenHost();
  auto query = reinterpret_cast<int(WINAPI*)(const char*)>(
      GetProcAddress(GetModuleHandleA("dlgframe.dll"), MAKEINTRESOURCEA(24)));
  TempDir dir;
  Bytes().resize(3).save(dir.file("run.icp"));
  EXPECT_EQ(query(dir.path().c_str()), -1);
  EXPECT_TRUE(DeleteFileA(dir.file("run.icp").c_str())) << "run.icp is still open";
  EXPECT_EQ(query(dir.file("missing").c_str()), -1);
}

// mcrhost's host core hands a string variable over cut to the library's buffers, whatever its length.
TEST(HostCore, GetStrVarNeverWritesPastItsBound) {
  Host host;
  host.vars().setString("LONG$", std::string(1000, 'x'));
  std::vector<char> buffer(2000, '#');
  for (const char* name : {"NONE$", "long$"})
    EXPECT_EQ(Host::Callback(reinterpret_cast<std::uintptr_t>(&host), mcr::kOpGetStrVar, reinterpret_cast<std::uintptr_t>(name),
                             reinterpret_cast<std::uintptr_t>(buffer.data())), name[0] == 'N') << name;
  EXPECT_EQ(std::string(buffer.data(), mcr::kStrVarBound + 1), std::string(mcr::kStrVarBound - 1, 'x') + '\0' + '#');
}

}  // namespace
}  // namespace mcrtest
