#include "telephony/board/vt_card.h"

namespace telephony {

TagVtCard::~TagVtCard() = default;

int32_t TagSipNoneDrive::CreateLineName(int32_t, std::string& name) {
  name.clear();
  return -1;
}

std::unique_ptr<TagVtCard> CreateSipCard() { return std::make_unique<TagSipNoneDrive>(); }

}  // namespace telephony
