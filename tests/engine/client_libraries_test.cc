// The registry of database client libraries: the load and free orders, a
// slot left empty, and nested loads that run the pairs once.
#include "engine/client_libraries.h"

#include <gtest/gtest.h>

#include <string>

namespace engine {
namespace {

std::string calls;

template <char kName>
int32_t Load() {
  calls += std::string("load ") + kName + ";";
  return kName == 'W' ? -3 : 0;  // a failed loader does not stop the others
}

template <char kName>
void Free() {
  calls += std::string("free ") + kName + ";";
}

class ClientLibrariesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    calls.clear();
    RegisterClientLibrary(ClientLibrarySlot::kSqlServer, &Load<'S'>, &Free<'S'>);
    RegisterClientLibrary(ClientLibrarySlot::kWrnDb, &Load<'W'>, &Free<'W'>);
    RegisterClientLibrary(ClientLibrarySlot::kMySql, &Load<'M'>, &Free<'M'>);
  }
  void TearDown() override {
    for (ClientLibrarySlot slot :
         {ClientLibrarySlot::kMySql, ClientLibrarySlot::kWrnDb, ClientLibrarySlot::kSqlServer}) {
      RegisterClientLibrary(slot, nullptr, nullptr);
    }
  }
};

TEST_F(ClientLibrariesTest, LoadsAndFreesInTheirOrdersOncePerOutermostPair) {
  LoadClientLibraries();
  LoadClientLibraries();
  EXPECT_EQ(calls, "load M;load W;load S;");
  FreeClientLibraries();
  EXPECT_EQ(calls, "load M;load W;load S;") << "still in use";
  FreeClientLibraries();
  EXPECT_EQ(calls, "load M;load W;load S;free W;free M;free S;");
  FreeClientLibraries();
  EXPECT_EQ(calls, "load M;load W;load S;free W;free M;free S;") << "an extra free";
  LoadClientLibraries();
  FreeClientLibraries();
  EXPECT_EQ(calls.size(), 2 * std::string("load M;load W;load S;free W;free M;free S;").size());
}

TEST_F(ClientLibrariesTest, AnEmptySlotIsSkipped) {
  RegisterClientLibrary(ClientLibrarySlot::kSqlServer, nullptr, nullptr);
  LoadClientLibraries();
  FreeClientLibraries();
  EXPECT_EQ(calls, "load M;load W;free W;free M;");
}

}  // namespace
}  // namespace engine
