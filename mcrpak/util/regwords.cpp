// The registry words. They never raise an error: a macro checks the
// variable afterwards (REGGET deletes it first, so a failed read leaves it
// undefined).
#include <windows.h>

#include <cstring>
#include <string>

#include "../bridge/handlers.h"
#include "../bridge/hostops.h"
#include "../bridge/rounding.h"
#include "numfmt.h"

using namespace mcr;

namespace {

// Values larger than this are not read.
constexpr DWORD kValueBuffer = 260;

struct RootName {
  const char* name;
  HKEY key;
};
const RootName kRoots[] = {
    {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},   {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
    {"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG}, {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {"HKEY_USERS", HKEY_USERS},                   {"HKEY_PERFORMANCE_DATA", HKEY_PERFORMANCE_DATA},
    {"HKEY_DYN_DATA", HKEY_DYN_DATA},
};

bool SameName(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b) {
    char x = *a >= 'a' && *a <= 'z' ? static_cast<char>(*a - 'a' + 'A') : *a;
    char y = *b >= 'a' && *b <= 'z' ? static_cast<char>(*b - 'a' + 'A') : *b;
    if (x != y) return false;
  }
  return *a == *b;
}

// An unknown or omitted name means the machine's root.
HKEY RootKey(const char* name) {
  if (name)
    for (const RootName& r : kRoots)
      if (SameName(name, r.name)) return r.key;
  return HKEY_LOCAL_MACHINE;
}

class OpenKey {
 public:
  OpenKey(HKEY root, const char* subkey, REGSAM access) {
    if (RegOpenKeyExA(root, subkey, 0, access, &key_) != ERROR_SUCCESS) key_ = nullptr;
  }
  ~OpenKey() {
    if (key_) RegCloseKey(key_);
  }
  OpenKey(const OpenKey&) = delete;
  OpenKey& operator=(const OpenKey&) = delete;
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

void SetBinaryTable(HostContext ctx, const char* var, const BYTE* data, DWORD size) {
  HostHandle table = 0;
  if (CreateTable(ctx, &table, static_cast<std::uint16_t>(size)) != 0) return;
  for (DWORD i = 0; i < size; ++i)
    SetTableItem(ctx, table, static_cast<int>(i) + 1, static_cast<double>(static_cast<std::int8_t>(data[i])));
  SetTableVar(ctx, var, table);
}

void WriteValue(HostContext ctx, HKEY key, const char* valueName, const char* type, const char* var) {
  if (SameName(type, "REG_SZ") || SameName(type, "REG_EXPAND_SZ") || SameName(type, "REG_MULTI_SZ")) {
    char text[kStrVarBound] = {};
    if (GetStrVar(ctx, var, text) != 0) return;
    RegSetValueExA(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                   static_cast<DWORD>(std::strlen(text)));
  } else if (SameName(type, "REG_DWORD")) {
    double v;
    if (GetNumVar(ctx, var, &v) != 0) return;
    DWORD d = RoundToUnsigned32(v);
    RegSetValueExA(key, valueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&d), sizeof d);
  } else if (SameName(type, "REG_QWORD")) {
    double v;
    if (GetNumVar(ctx, var, &v) != 0) return;
    std::int64_t q = TruncateToInt64(v);
    RegSetValueExA(key, valueName, 0, REG_QWORD, reinterpret_cast<const BYTE*>(&q), sizeof q);
  } else if (SameName(type, "REG_BINARY")) {
    HostHandle table = 0;
    if (GetTableVar(ctx, var, &table) != 0) return;
    std::uint16_t count = GetTableSize(ctx, table);
    std::string bytes(count, '\0');
    for (std::uint16_t i = 0; i < count; ++i) {
      double v = 0;
      GetTableItem(ctx, table, i + 1, &v);
      bytes[i] = static_cast<char>(static_cast<std::uint8_t>(TruncateToInt64(v)));
    }
    RegSetValueExA(key, valueName, 0, REG_BINARY, reinterpret_cast<const BYTE*>(bytes.data()), count);
  }
}

}  // namespace

MCR_COMMAND(RegGetProc) {
  Args in(ctx, args);
  const char* root = in.Text(1);
  const char* subkey = in.Text(2);
  const char* valueName = in.Text(3);
  const char* var = in.Text(4);
  if (!var) return 0;
  DeleteVar(ctx, var);
  if (!subkey || !valueName) return 0;
  OpenKey key(RootKey(root), subkey, KEY_QUERY_VALUE);
  if (!key.get()) return 0;
  // One byte more than the value may take keeps a string terminated.
  BYTE data[kValueBuffer + 1] = {};
  DWORD size = kValueBuffer;
  DWORD type = REG_NONE;
  if (RegQueryValueExA(key.get(), valueName, nullptr, &type, data, &size) != ERROR_SUCCESS) return 0;
  switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
    case REG_MULTI_SZ:  // the first of the strings
      SetStrVar(ctx, var, reinterpret_cast<const char*>(data));
      break;
    case REG_BINARY:
      SetBinaryTable(ctx, var, data, size);
      break;
    case REG_DWORD: {
      std::uint32_t d;
      std::memcpy(&d, data, sizeof d);
      SetNumVar(ctx, var, static_cast<double>(d));
      break;
    }
    case REG_QWORD: {
      std::int64_t q;
      std::memcpy(&q, data, sizeof q);
      SetNumVar(ctx, var, static_cast<double>(q));
      break;
    }
    default:
      break;
  }
  return 0;
}

MCR_COMMAND(RegSetProc) {
  Args in(ctx, args);
  const char* root = in.Text(1);
  const char* subkey = in.Text(2);
  const char* valueName = in.Text(3);
  const char* type = in.Text(4);
  const char* var = in.Text(5);
  if (!subkey || !valueName || !type || !var) return 0;
  // Opening, not creating: a missing subkey means nothing is written.
  OpenKey key(RootKey(root), subkey, KEY_SET_VALUE | KEY_CREATE_SUB_KEY);
  if (!key.get()) return 0;
  WriteValue(ctx, key.get(), valueName, type, var);
  return 0;
}
