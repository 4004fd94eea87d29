// The command processor's variables: numbers, strings and tables of numbers,
// named without regard to letter case. Strings are kept in the ANSI code
// page exactly as the library and the macros hand them over.
#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mcrhost {

struct Var {
  enum class Type { Number, String, Table } type = Type::Number;
  double number = 0;
  std::string text;
  std::uint32_t table = 0;  // table id for Type::Table
};

class VarStore {
 public:
  const Var* find(std::string_view name) const;
  void setNumber(std::string_view name, double value);
  void setString(std::string_view name, std::string_view value);
  void setTable(std::string_view name, std::uint32_t table);
  void erase(std::string_view name);
  void clear() { vars_.clear(); }

  // Tables live apart from variables so that a table can be made first and
  // bound to a name later, and two names can share one.
  std::uint32_t newTable(std::size_t count);
  // Forgets the tables no variable holds (a long-running host reclaims them).
  void dropUnboundTables();
  std::vector<double>* table(std::uint32_t id);
  const std::vector<double>* table(std::uint32_t id) const;

  const std::map<std::string, Var>& all() const { return vars_; }

  // Upper-cases ASCII letters, leaving both bytes of a double-byte
  // character alone.
  static std::string Key(std::string_view name);

 private:
  std::map<std::string, Var> vars_;
  std::map<std::uint32_t, std::vector<double>> tables_;
  std::uint32_t nextTable_ = 1;
};

bool IsSjisLead(unsigned char c);

}  // namespace mcrhost
