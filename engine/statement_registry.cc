#include "engine/statement_registry.h"

#include <atomic>

namespace engine {

namespace {

std::atomic<CallFactory> call_factory{nullptr};
std::atomic<decltype(DllCallFactory::Declared)> dll_declared{nullptr};
std::atomic<decltype(DllCallFactory::Build)> dll_build{nullptr};

}  // namespace

void SetCallFactory(CallFactory factory) { call_factory.store(factory); }

CallFactory GetCallFactory() { return call_factory.load(); }

void SetDllCallFactory(const DllCallFactory& factory) {
  dll_declared.store(factory.Declared);
  dll_build.store(factory.Build);
}

DllCallFactory GetDllCallFactory() {
  DllCallFactory factory;
  factory.Declared = dll_declared.load();
  factory.Build = dll_build.load();
  return factory;
}

bool StatementRegistry::Register(std::string_view keyword, StatementFactory factory) {
  return RegisterRow(Keywords().FindKeyword(keyword), factory);
}

bool StatementRegistry::RegisterRow(int row, StatementFactory factory) {
  if (row < 0 || row >= kKeywordCount || IsCompilerRow(row) || factory == nullptr) return false;
  StatementFactory& slot = factories_[static_cast<size_t>(row)];
  if (slot != nullptr) return false;
  slot = factory;
  return true;
}

StatementFactory StatementRegistry::Find(int row) const {
  if (row < 0 || row >= kKeywordCount) return nullptr;
  return factories_[static_cast<size_t>(row)];
}

TagOper* StatementRegistry::Build(const StatementBuild& build, std::string* error) const {
  StatementFactory factory = Find(build.row);
  if (factory == nullptr) {
    *error = "语句未实现: ";
    if (build.row >= 0 && build.row < kKeywordCount) *error += Keywords().row(build.row).name;
    return nullptr;
  }
  return factory(build, error);
}

std::vector<int> StatementRegistry::Missing(StatementFamily family) const {
  std::vector<int> rows;
  for (int i = kFirstStatementRow; i < kKeywordCount; ++i) {
    if (Keywords().row(i).family == family && factories_[static_cast<size_t>(i)] == nullptr) {
      rows.push_back(i);
    }
  }
  return rows;
}

StatementRegistry& Statements() {
  static StatementRegistry registry;
  return registry;
}

}  // namespace engine
