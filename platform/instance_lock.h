// The single-instance lock of the system: one running vttel per user.
//
// TryAcquire takes an exclusive flock on "<RuntimeDir>/instance.lock". The
// lock is held until this object is destroyed or the process ends (the
// kernel drops it with the descriptor, also when the process dies); the
// program never gives it up early. The descriptor is close-on-exec, so
// programs we start do not keep it. Another InstanceLock, in this process
// or another, fails to acquire while one holds it.
//
// Thread rules: one object is used by one thread at a time.
#ifndef VTTEL_PLATFORM_INSTANCE_LOCK_H_
#define VTTEL_PLATFORM_INSTANCE_LOCK_H_

namespace platform {

class InstanceLock {
 public:
  InstanceLock() = default;
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // True when this object holds the lock (now or already). False when
  // another holder has it or the runtime folder or lock file is unusable.
  // Never waits.
  bool TryAcquire();

  bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;  // the locked lock file, or -1
};

}  // namespace platform

#endif  // VTTEL_PLATFORM_INSTANCE_LOCK_H_
