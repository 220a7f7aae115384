// The board options of "Card.ini" in the working directory (the program's
// folder): CONF turns the board's conference groups on or off, FAX its fax
// resources; both are on unless the file turns them off.
//
// The file is read as the configuration reader reads its files: lines of at
// most 79 characters (a longer one is read as several), every blank and tab
// removed, empty lines skipped, upper-cased, split at the first "=" (lines
// without one are skipped). A value of YES, TRUE or 1 turns an option on,
// NO, FALSE or 0 off; other values and other keys change nothing. A missing
// file leaves the defaults.
#ifndef VTTEL_TELEPHONY_BOARD_CARD_OPTIONS_H_
#define VTTEL_TELEPHONY_BOARD_CARD_OPTIONS_H_

#include <cstdint>
#include <string_view>

namespace telephony {

inline constexpr const char* kCardOptionsFile = "Card.ini";

struct CardOptions {
  uint8_t conf = 1;  // CONF: conference groups wanted
  uint8_t fax = 1;   // FAX: fax resources wanted
};

CardOptions ReadCardOptions(std::string_view path = kCardOptionsFile);

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_BOARD_CARD_OPTIONS_H_
