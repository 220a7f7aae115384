// Process-wide settings that the run configuration reader writes and that
// other subsystems read: the log level, the message-queue limit and the two
// database switches. They live here, in the frame, so that no lower layer
// needs a higher one. Atomics: any thread may read them at any time.
#ifndef VTTEL_FRAME_SETTINGS_H_
#define VTTEL_FRAME_SETTINGS_H_

#include <atomic>
#include <cstdint>

namespace frame {

struct Settings {
  // IS_WRITE_LOG: 0 logs only what is always logged, other values log all;
  // 2 and above enable the raw trace, above 2 the log is mirrored into it.
  std::atomic<int32_t> log_level{0};
  // MAX_MSG_NUM: the most messages a message queue holds.
  std::atomic<uint32_t> max_msg_num{2048};
  // DB_MAX_CONN: the database connection pool size (0: no pool).
  std::atomic<int32_t> db_max_conn{0};
  // DB_BITFIELD_IS_DIGIT: Boolean database fields delivered as "1"/"0".
  std::atomic<uint8_t> db_bitfield_is_digit{0};
};

// The one instance, with the initial values above.
Settings& GetSettings();

}  // namespace frame

#endif  // VTTEL_FRAME_SETTINGS_H_
