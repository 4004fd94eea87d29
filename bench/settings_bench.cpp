// The settings words against the Win32 profile call they make.
#include "host.h"

namespace mcrbench {
namespace {

std::string g_ini;

void WriteIni() {
  g_ini = Scratch() + "\\bench.ini";
  for (int s = 1; s <= 20; ++s)
    for (int k = 1; k <= 10; ++k)
      WritePrivateProfileStringA(("Section" + std::to_string(s)).c_str(), ("Key" + std::to_string(k)).c_str(),
                                 ("value " + std::to_string(s * k)).c_str(), g_ini.c_str());
}

const Registrar kGetProfile({"GetProfile (one key of 200)", WriteIni,
                             [] { Call("GetProfile", {S("Section20"), S("Key10"), S(""), S("V$"), S(g_ini)}); },
                             [] {
                               char value[256];
                               Sink(GetPrivateProfileStringA("Section20", "Key10", "", value, sizeof value,
                                                             g_ini.c_str()));
                             },
                             1.3});

}  // namespace
}  // namespace mcrbench
