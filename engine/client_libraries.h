// The database client libraries that the line drive loads when the system is
// built and frees when it is deleted. Each back end that needs one registers
// its load/free pair under its slot; the slot fixes the order:
//   load: MySQL, the maker's database client, SQL Server;
//   free: the maker's database client, MySQL, SQL Server.
// A slot without a registered pair is skipped. Loading nests: only the first
// LoadClientLibraries runs the loaders and only the matching last
// FreeClientLibraries runs the freers, so a program that builds the drive
// and a tool that loads for itself never free under each other.
//
// Thread rules: registration at start-up, before any load; loading and
// freeing from any thread, serialised by the registry's lock (a loader must
// not call back into the registry).
#ifndef VTTEL_ENGINE_CLIENT_LIBRARIES_H_
#define VTTEL_ENGINE_CLIENT_LIBRARIES_H_

#include <cstdint>

namespace engine {

enum class ClientLibrarySlot : int { kMySql = 0, kWrnDb = 1, kSqlServer = 2 };
inline constexpr int kClientLibrarySlots = 3;

// A loader gives 0 when the library is usable, a negative code otherwise
// (it traces why); a freer forgets the library.
using ClientLibraryLoad = int32_t (*)();
using ClientLibraryFree = void (*)();

// Registers (or replaces) the pair of a slot.
void RegisterClientLibrary(ClientLibrarySlot slot, ClientLibraryLoad load, ClientLibraryFree free);
// Runs the registered loaders in load order (first caller only).
void LoadClientLibraries();
// Runs the registered freers in free order (last caller only).
void FreeClientLibraries();

}  // namespace engine

#endif  // VTTEL_ENGINE_CLIENT_LIBRARIES_H_
