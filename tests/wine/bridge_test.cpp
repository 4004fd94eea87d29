// The library as the workstation meets it: loading, the server codes,
// connections, registration of the vocabulary, the export table, its
// resources, and the workstation's dialog library it imports.
#include <windows.h>

#include <cstring>
#include <set>

#include "bridge/wordtable.h"
#include "bytes.h"
#include "testhost.h"

namespace mcrtest {
namespace {

using mcr::kWords;

// (The export table itself is checked on the shipped library: i686_exports.)
TEST(Registration, OffersAllWordsInTableOrderWithTheirKindsAndExports) {
  auto host = OpenHost();
  const auto& words = host->words();
  HMODULE lib = host->library();
  ASSERT_EQ(words.size(), 94u);
  EXPECT_EQ(host->offered(), 94);
  for (std::size_t i = 0; i < words.size(); ++i) {
    const Word& w = words[i];
    SCOPED_TRACE(w.name);
    EXPECT_EQ(w.name, kWords[i].name);
    EXPECT_EQ(w.function, i < 30);
    ASSERT_EQ(w.kinds.size(), std::strlen(kWords[i].params));
    for (std::size_t k = 0; k < w.kinds.size(); ++k)
      EXPECT_EQ(w.kinds[k], mcr::KindByte(kWords[i].params[k]));
    EXPECT_EQ(w.recordZeros, 0u);
    void* handler = w.function ? reinterpret_cast<void*>(w.functionHandler) : reinterpret_cast<void*>(w.commandHandler);
    EXPECT_EQ(handler, reinterpret_cast<void*>(GetProcAddress(lib, kWords[i].exportName)));
    EXPECT_EQ(handler, reinterpret_cast<void*>(GetProcAddress(lib, MAKEINTRESOURCEA(kWords[i].ordinal))));
    // The kind bytes are filled in place and never cleared: what lies past
    // this row's count is what the rows before it left there.
    for (std::size_t k = w.kinds.size(); i > 0 && k < 8; ++k)
      EXPECT_EQ(w.kindBytesSeen[k], words[i - 1].kindBytesSeen[k]) << "byte " << k;
  }
  // The kind bytes themselves, independently of the table: S, N and V.
  EXPECT_EQ(words[0].kinds, (std::vector<std::uint8_t>{0x01, 0x00}));
  EXPECT_EQ(words[30].kinds, (std::vector<std::uint8_t>{0x01, 0xFE, 0xFE, 0xFE, 0xFE}));
}

TEST(Registration, HostRefusalStopsAtOnceWithItsStatus) {
  struct Case { int refuseAt; std::uint16_t status; } cases[] = {{0, 7}, {29, 9}, {30, 5}, {93, 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.refuseAt);
    mcrhost::HostOptions options;
    options.refuseAt = c.refuseAt;
    options.refuseStatus = c.status;
    Host host(options);
    EXPECT_EQ(host.open(LibraryPath().c_str()), c.status);
    EXPECT_EQ(host.offered(), c.refuseAt + 1);
    EXPECT_EQ(host.words().size(), static_cast<std::size_t>(c.refuseAt));
  }
}

TEST(ServerCodes, UnknownCodesFailAndChangeNothing) {
  auto host = OpenHost();
  struct Case { std::uint32_t code; std::uint16_t status; } cases[] = {{0, 1}, {1, 1}, {4, 0}, {7, 1}, {9, 1}, {0xFFFF, 1}};
  for (const Case& c : cases) EXPECT_EQ(host->server(c.code), c.status) << c.code;
  EXPECT_EQ(host->call("Left$", {S("abc"), N(2)}).result->text, "ab");
}

TEST(Connections, EachConnectionKeepsItsOwnCallbackAfterGrowthAndRemoval) {
  std::vector<std::unique_ptr<Host>> hosts;
  for (int i = 0; i < 7; ++i) hosts.push_back(OpenHost());  // past the first growth to 10
  std::set<mcr::HostContext> contexts;
  for (auto& h : hosts) contexts.insert(h->context());
  EXPECT_EQ(contexts.size(), hosts.size());
  hosts[0]->close();  // the first slot goes; the rest keep their order
  hosts[3]->close();
  for (std::size_t i = 0; i < hosts.size(); ++i) {
    if (i == 0 || i == 3) continue;
    EXPECT_EQ(hosts[i]->call("GetToken", {S("a,b,c"), S(","), N(2), S("T$")}).status, 0);
    EXPECT_EQ(StrVar(*hosts[i], "T$"), "b") << i;
  }
  // A connection made after removals lands in a freed place and works too.
  hosts.push_back(OpenHost());
  EXPECT_EQ(hosts.back()->call("Trim$", {S(" x ")}).result->text, "x");
}

TEST(Connections, ConnectWritesTheEntryAndAContext) {
  HMODULE lib = LoadLibraryA(LibraryPath().c_str());
  ASSERT_NE(lib, nullptr);
  auto entry = reinterpret_cast<mcr::OocpsrvEntry>(reinterpret_cast<void*>(GetProcAddress(lib, "OOCPSRV")));
  ASSERT_NE(entry, nullptr);
  mcr::ConnectPacket packet{};
  packet.reserved = 0xBEEF;
  packet.cookie = 42;
  ASSERT_EQ(entry(nullptr, 2, reinterpret_cast<std::uintptr_t>(&packet), 0), 0);
  EXPECT_EQ(packet.entry, entry);
  EXPECT_NE(packet.context, nullptr);
  EXPECT_EQ(packet.reserved, 0xBEEF);
  // Without a callback every host operation fails quietly: registration
  // ends at once with status 1.
  EXPECT_EQ(entry(packet.context, 3, 0, 0), 1);
  EXPECT_EQ(entry(packet.context, 6, 0, 0), 0);
  FreeLibrary(lib);
}

struct IconWatch {
  static int count;
  static LRESULT CALLBACK Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_SETICON && lp == 0) ++count;
    return DefWindowProcA(w, m, wp, lp);
  }
};
int IconWatch::count = 0;

TEST(Connections, DisconnectClearsIconsOnlyAfterTheyWereSet) {
  auto host = OpenHost();
  SetWindowLongPtrA(host->window(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&IconWatch::Proc));
  IconWatch::count = 0;
  host->close();
  EXPECT_EQ(IconWatch::count, 0);

  ASSERT_EQ(host->open(LibraryPath().c_str()), 0);
  HICON icon = CopyIcon(LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION)));
  ASSERT_NE(icon, nullptr);
  SetPropA(host->window(), "HICON", icon);
  host->close();
  EXPECT_EQ(IconWatch::count, 2);
  ICONINFO info;
  EXPECT_FALSE(GetIconInfo(icon, &info)) << "the icon is destroyed";

  // A later disconnect on the same window finds nothing left to destroy.
  ASSERT_EQ(host->open(LibraryPath().c_str()), 0);
  host->close();
  EXPECT_EQ(IconWatch::count, 2);
}

TEST(Connections, DetachWithOpenConnectionsDoesNotCallTheHost) {
  auto host = OpenHost();
  int calls = 0;
  host->onTrace = [&](const char*, const std::string&, std::uint16_t) { ++calls; };
  HMODULE lib = host->library();
  host->abandon();
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(GetModuleHandleA("MCRPAK.dll"), nullptr) << "still loaded: " << lib;
  // Loading again starts from a clean table.
  auto again = OpenHost();
  EXPECT_EQ(again->words().size(), 94u);
}

TEST(Resources, PopupFontDescription) {
  auto host = OpenHost();
  HRSRC info = FindResourceA(host->library(), "MSGPOPUP_FONT", "MCRPAK_RES");
  ASSERT_NE(info, nullptr);
  ASSERT_EQ(SizeofResource(host->library(), info), 42u);
  auto* bytes = static_cast<const unsigned char*>(LockResource(LoadResource(host->library(), info)));
  const unsigned char expected[42] = {
      13, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x90, 1, 0, 0,  // height 13, weight 400
      0, 0, 0, 8, 0, 0, 2, 1,                                          // charset 8, quality 2, pitch 1
      0x82, 0x6c, 0x82, 0x72, 0x20, 0x83, 0x53, 0x83, 0x56, 0x83, 0x62, 0x83, 0x4e, 0};
  EXPECT_EQ(std::memcmp(bytes, expected, 42), 0);
}

// The other suites expect the texts of the resource script converted by the
// test's own helpers; these few are spelled out in bytes, independent of any
// converter: half-width katakana stay single bytes, the wave dash, line
// breaks and tabs survive.
TEST(Resources, CatalogueBytesOfTextsWithSpecialCharacters) {
  ASSERT_EQ(GetACP(), 932u) << "tests run with the Japanese code page";
  auto host = OpenHost();
  struct Case { int id; const char* bytes; } cases[] = {
      {1011, "\x25\x73\x20\xca\xdf\xd7\xd2\xb0\xc0\x20\x82\xcd\x20\x25\x64\x20\x81\x60\x20\x25\x64"
             "\x20\x82\xc9\x82\xb5\x82\xc4\x82\xad\x82\xbe\x82\xb3\x82\xa2\x2e"},
      {1233, "\xd2\xbf\xaf\xc4\xde\x95\xdb\x91\xb6\x8e\x9e\x82\xcc\x20\x51\x43\xd3\xb0\xc4\xde\xcc"
             "\xa7\xb2\xd9\x3a\x0a\x09\x25\x73\x0a\x09\x25\x73"},
      {1224, "QCMODE\\"},
      {1472, "\x8b\xa4\x97\x4c\x88\xe1\x94\xbd"},
  };
  for (const Case& c : cases) {
    char buffer[512];
    int n = LoadStringA(host->library(), static_cast<UINT>(c.id), buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer, n > 0 ? static_cast<std::size_t>(n) : 0), c.bytes) << c.id;
  }
}

// The stand-in of the workstation's dialog library, where the words' suites
// do not reach it (they read modes and steer picks): a method it cannot read
// and a pick nobody steered.
TEST(DialogLibrary, UnreadableMethodsAndCancelledPicks) {
  auto host = OpenHost();
  HMODULE frame = GetModuleHandleA("dlgframe.dll");
  ASSERT_NE(frame, nullptr) << "imported by MCRPAK.dll";
  auto query = reinterpret_cast<int(WINAPI*)(const char*)>(GetProcAddress(frame, MAKEINTRESOURCEA(24)));
  auto select = reinterpret_cast<int(WINAPI*)(HWND, int, const char*, const char*, char*, char*, DWORD*)>(
      GetProcAddress(frame, MAKEINTRESOURCEA(14)));
  ASSERT_TRUE(query && select);
  TempDir dir;
  Bytes().resize(3).save(dir.file("run.icp"));
  EXPECT_EQ(query(dir.path().c_str()), -1);
  EXPECT_EQ(query(dir.file("missing").c_str()), -1);
  char folder[260] = "C:\\old", file[260] = "OLD.M";
  DWORD result = 7;
  SetEnvironmentVariableA("MCR_DLGFRAME_PICK", nullptr);
  select(host->window(), 4, "Title", "*.M", folder, file, &result);
  EXPECT_STREQ(folder, "C:\\old") << "cancel leaves the buffers";
  EXPECT_STREQ(file, "OLD.M");
}

TEST(HostCore, GetStrVarNeverWritesPastItsBound) {
  Host host;
  host.vars().setString("LONG$", std::string(1000, 'x'));
  std::vector<char> buffer(2000, '#');
  auto get = [&](const char* name) {
    return Host::Callback(reinterpret_cast<std::uintptr_t>(&host), mcr::kOpGetStrVar,
                          reinterpret_cast<std::uintptr_t>(name), reinterpret_cast<std::uintptr_t>(buffer.data()));
  };
  EXPECT_EQ(get("long$"), 0);
  EXPECT_EQ(std::strlen(buffer.data()), mcr::kStrVarBound - 1);
  EXPECT_EQ(buffer[mcr::kStrVarBound], '#');
  EXPECT_EQ(get("NONE$"), 1);
}

}  // namespace
}  // namespace mcrtest
