#include "vars.h"

#include <iterator>

namespace mcrhost {

bool IsSjisLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

std::string VarStore::Key(std::string_view name) {
  std::string key(name);
  for (std::size_t i = 0; i < key.size(); ++i) {
    auto c = static_cast<unsigned char>(key[i]);
    if (IsSjisLead(c)) {
      ++i;
    } else if (c >= 'a' && c <= 'z') {
      key[i] = static_cast<char>(c - 'a' + 'A');
    }
  }
  return key;
}

const Var* VarStore::find(std::string_view name) const {
  auto it = vars_.find(Key(name));
  return it == vars_.end() ? nullptr : &it->second;
}

void VarStore::setNumber(std::string_view name, double value) {
  Var& v = vars_[Key(name)];
  v = Var{};
  v.number = value;
}

void VarStore::setString(std::string_view name, std::string_view value) {
  Var& v = vars_[Key(name)];
  v = Var{Var::Type::String, 0, std::string(value), 0};
}

void VarStore::setTable(std::string_view name, std::uint32_t table) {
  Var& v = vars_[Key(name)];
  v = Var{Var::Type::Table, 0, {}, table};
}

void VarStore::erase(std::string_view name) { vars_.erase(Key(name)); }

std::uint32_t VarStore::newTable(std::size_t count) {
  std::uint32_t id = nextTable_++;
  tables_[id].assign(count, 0.0);
  return id;
}

void VarStore::dropUnboundTables() {
  for (auto it = tables_.begin(); it != tables_.end();) {
    bool bound = false;
    for (const auto& [name, v] : vars_) bound |= v.type == Var::Type::Table && v.table == it->first;
    it = bound ? std::next(it) : tables_.erase(it);
  }
}

std::vector<double>* VarStore::table(std::uint32_t id) {
  auto it = tables_.find(id);
  return it == tables_.end() ? nullptr : &it->second;
}

const std::vector<double>* VarStore::table(std::uint32_t id) const {
  auto it = tables_.find(id);
  return it == tables_.end() ? nullptr : &it->second;
}

}  // namespace mcrhost
