// The process-wide queues and stores of the inter-line services: objects
// that every line reaches and that live as long as the process (built at
// static initialisation, before any line runs, and destroyed after the
// last): the message queues of the process, the inter-line server queues,
// the process's shared memory with the lock of its scans, and the ACD list.
//
// Thread rules: each object locks itself; any thread may use them.
#ifndef VTTEL_SERVICES_INTERLINE_PROCESS_QUEUES_H_
#define VTTEL_SERVICES_INTERLINE_PROCESS_QUEUES_H_

#include <cstdint>
#include <mutex>

#include "services/interline/acd_list.h"
#include "services/interline/msg_list.h"
#include "services/interline/share_mem.h"

namespace services {

// The process-wide message queue n (0..63), addressed by a negative line
// number in the message statements.
TagMsgList& ProcessQueue(int32_t n);
// The inter-line server queue n (0..63).
TagMsgList& ServerQueue(int32_t n);
// The process-wide shared memory, addressed by a negative line number.
TagShareMem& ProcessShareMem();
// Held across a whole "FindShareMem(" scan, before any store's lock.
std::mutex& ShareMemFindLock();
// The ACD list.
TagAcdList& AcdList();

}  // namespace services

#endif  // VTTEL_SERVICES_INTERLINE_PROCESS_QUEUES_H_
