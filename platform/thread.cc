#include "platform/thread.h"

#include <errno.h>
#include <limits.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <list>
#include <memory>
#include <mutex>

#include "platform/codepage.h"
#include "platform/gbk.h"

namespace platform {
namespace {

// pthread_timedjoin_np waits on the wall clock; we wait in slices of this
// length and measure the whole wait on the monotonic clock, so that a jump
// of the wall clock cannot end a bounded join early.
constexpr auto kJoinSlice = std::chrono::milliseconds(100);

using Registry = std::list<std::string>;

std::mutex& RegistryMutex() {
  static std::mutex mu;
  return mu;
}

Registry& LiveNames() {  // guarded by RegistryMutex()
  static Registry names;
  return names;
}

Registry::iterator Register(const std::string& name) {
  std::lock_guard<std::mutex> lock(RegistryMutex());
  return LiveNames().insert(LiveNames().end(), name);
}

void Unregister(Registry::iterator entry) {
  std::lock_guard<std::mutex> lock(RegistryMutex());
  LiveNames().erase(entry);
}

// What a new thread needs; the thread owns it and frees it when done, so a
// detached thread outlives its Thread object safely.
struct ThreadStart {
  std::function<void()> body;
  std::string kernel_name;
  Registry::iterator entry;
};

extern "C" void* RunThread(void* arg) {
  std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(arg));
  pthread_setname_np(pthread_self(), start->kernel_name.c_str());
  start->body();
  start->body = nullptr;  // the body's captures die before the thread counts as ended
  Unregister(start->entry);
  return nullptr;
}

// The longest prefix of a GBK name that fits the kernel's thread name.
std::string KernelName(const std::string& name) {
  size_t end = 0;
  while (end < name.size() && name[end] != '\0') {
    size_t next = end + GbkCharLength(name, end);
    if (next > kThreadNameMaxBytes) break;
    end = next;
  }
  return name.substr(0, end);
}

timespec WallDeadline(std::chrono::nanoseconds from_now) {
  timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  long long ns = ts.tv_nsec + static_cast<long long>(from_now.count());
  ts.tv_sec += static_cast<time_t>(ns / 1000000000);
  ts.tv_nsec = static_cast<long>(ns % 1000000000);
  return ts;
}

}  // namespace

Thread::~Thread() { Finish(); }

Thread::Thread(Thread&& other) noexcept
    : thread_(other.thread_),
      joinable_(other.joinable_),
      name_(std::move(other.name_)),
      destroy_wait_ms_(other.destroy_wait_ms_) {
  other.joinable_ = false;
}

Thread& Thread::operator=(Thread&& other) noexcept {
  if (this != &other) {
    Finish();
    thread_ = other.thread_;
    joinable_ = other.joinable_;
    name_ = std::move(other.name_);
    destroy_wait_ms_ = other.destroy_wait_ms_;
    other.joinable_ = false;
  }
  return *this;
}

bool Thread::Start(std::string name, size_t stack_bytes, std::function<void()> body) {
  if (joinable_) return false;
  pthread_attr_t attr;
  if (pthread_attr_init(&attr) != 0) return false;
  bool ok = true;
  if (stack_bytes != 0) {
    size_t minimum = PTHREAD_STACK_MIN;
    ok = pthread_attr_setstacksize(&attr, std::max(stack_bytes, minimum)) == 0;
  }
  if (ok) {
    auto start = std::make_unique<ThreadStart>();
    start->body = std::move(body);
    start->kernel_name = KernelName(name);
    start->entry = Register(name);
    Registry::iterator entry = start->entry;
    ok = pthread_create(&thread_, &attr, RunThread, start.get()) == 0;
    if (ok) {
      start.release();  // the new thread owns it now
      joinable_ = true;
      name_ = std::move(name);
    } else {
      Unregister(entry);
    }
  }
  pthread_attr_destroy(&attr);
  return ok;
}

bool Thread::JoinFor(uint32_t ms) {
  if (!joinable_ || pthread_equal(thread_, pthread_self())) return false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    auto left = std::max<std::chrono::nanoseconds>(
        deadline - std::chrono::steady_clock::now(), std::chrono::nanoseconds(0));
    timespec until = WallDeadline(std::min<std::chrono::nanoseconds>(left, kJoinSlice));
    int rc = pthread_timedjoin_np(thread_, nullptr, &until);
    if (rc == 0) {
      joinable_ = false;
      return true;
    }
    if (rc != ETIMEDOUT && rc != EINTR) return false;
    if (std::chrono::steady_clock::now() >= deadline) return false;
  }
}

void Thread::Join() {
  if (!joinable_ || pthread_equal(thread_, pthread_self())) return;
  pthread_join(thread_, nullptr);
  joinable_ = false;
}

void Thread::Finish() {
  if (!joinable_) return;
  if (pthread_equal(thread_, pthread_self())) {
    // Destroyed by its own body: it cannot wait for itself, and it ends
    // right after anyway.
    pthread_detach(thread_);
    joinable_ = false;
    return;
  }
  if (JoinFor(destroy_wait_ms_)) return;
  pthread_detach(thread_);
  joinable_ = false;
  std::fprintf(stderr, "vttel: thread \"%s\" did not end within %u ms; left running detached\n",
               GbkToUtf8(name_).c_str(), static_cast<unsigned>(destroy_wait_ms_));
  std::fflush(stderr);
}

size_t LiveThreadCount() {
  std::lock_guard<std::mutex> lock(RegistryMutex());
  return LiveNames().size();
}

std::vector<std::string> LiveThreadNames() {
  std::lock_guard<std::mutex> lock(RegistryMutex());
  return std::vector<std::string>(LiveNames().begin(), LiveNames().end());
}

}  // namespace platform
