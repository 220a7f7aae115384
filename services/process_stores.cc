#include "services/process_stores.h"

#include <array>

#include "services/line_messages.h"

namespace services {
namespace {

// The process-wide objects, in the order they are built (and the reverse
// of the order they go): the database pool's control, the ACD list, the
// message queues, shared memory with its find lock, the inter-line server
// queues.
std::array<TagMsgList, kMsgQueues> g_process_queues;
std::array<TagMsgList, kMsgQueues> g_server_queues;

}  // namespace

TagMsgList& ProcessQueue(int32_t n) { return g_process_queues.at(static_cast<size_t>(n)); }

TagMsgList& ServerQueue(int32_t n) { return g_server_queues.at(static_cast<size_t>(n)); }

}  // namespace services
