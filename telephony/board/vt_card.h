// TagVtCard: a card of telephone lines. The line drive asks its cards in
// the order physical card, SIP card, virtual card how many lines each has
// (telCount) and has each name and create the lines of its card-local
// indexes. status is 0 for a usable card and negative otherwise; a card
// that cannot be used keeps telCount at 0, so no line of it is made.
//
// TagSipNoneDrive is the SIP card of this system: it has no lines.
//
// Thread rules: a card is built and deleted on the thread that builds or
// deletes the line drive; its lines use it afterwards as their own classes
// say.
#ifndef VTTEL_TELEPHONY_BOARD_VT_CARD_H_
#define VTTEL_TELEPHONY_BOARD_VT_CARD_H_

#include <cstdint>
#include <memory>
#include <string>

namespace telephony {

class TagVtCard {
 public:
  TagVtCard() = default;
  TagVtCard(const TagVtCard&) = delete;
  TagVtCard& operator=(const TagVtCard&) = delete;
  virtual ~TagVtCard();                                              // 0

  // 1: writes the name of the line at a card-local index and returns 0;
  // outside 0 .. telCount-1 the name is emptied and the result is -1.
  virtual int32_t CreateLineName(int32_t index, std::string& name) = 0;

  int32_t status = 0;    // 0 usable, negative not
  int32_t telCount = 0;  // lines of the card
};

class TagSipNoneDrive : public TagVtCard {
 public:
  int32_t CreateLineName(int32_t index, std::string& name) override;
};

// The SIP card the line drive makes.
std::unique_ptr<TagVtCard> CreateSipCard();

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_BOARD_VT_CARD_H_
