#include "services/interline/process_queues.h"

#include <array>

#include "engine/map_table.h"

namespace services {
namespace {

// The process-wide objects, in the order they are built (and the reverse
// of the order they go): the ACD list, the message queues, shared memory
// with its find lock, the inter-line server queues. The dictionary table
// is made before them, so that it is still there when the maps they hold
// are given back at exit.
engine::TagMapObject& g_map_table = engine::MapTable();
TagAcdList g_acd_list;
std::array<TagMsgList, kMsgQueues> g_process_queues;
TagShareMem g_share_mem;
std::mutex g_share_mem_find_lock;
std::array<TagMsgList, kMsgQueues> g_server_queues;

}  // namespace

TagMsgList& ProcessQueue(int32_t n) { return g_process_queues.at(static_cast<size_t>(n)); }

TagMsgList& ServerQueue(int32_t n) { return g_server_queues.at(static_cast<size_t>(n)); }

TagShareMem& ProcessShareMem() { return g_share_mem; }

std::mutex& ShareMemFindLock() { return g_share_mem_find_lock; }

TagAcdList& AcdList() { return g_acd_list; }

}  // namespace services
