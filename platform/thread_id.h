// The kernel's id of the calling thread, as the log prints it ("0x%x").
#ifndef VTTEL_PLATFORM_THREAD_ID_H_
#define VTTEL_PLATFORM_THREAD_ID_H_

#include <cstdint>

namespace platform {

uint32_t CurrentThreadId();

}  // namespace platform

#endif  // VTTEL_PLATFORM_THREAD_ID_H_
