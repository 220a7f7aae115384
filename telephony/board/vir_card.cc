#include "telephony/board/vir_card.h"

#include <cstdio>

#include "telephony/board/vir_call.h"

namespace telephony {

TagVirCard::TagVirCard(int32_t lines, int32_t english_names) : english(english_names) {
  status = 0;
  telCount = lines < 0 ? 1 : lines;
}

int32_t TagVirCard::CreateLineName(int32_t index, std::string& name) {
  char text[kLineNameMax + 1];
  std::snprintf(text, sizeof text, english != 0 ? "VirtualLine%d#" : "虚拟线路%d#", index);
  name = text;
  return 0;
}

std::unique_ptr<TagVtCall> TagVirCard::CreateLineCall(int32_t index, int32_t line_no) {
  if (index < 0 || index >= telCount) return nullptr;
  auto call = std::make_unique<TagVirCall>(line_no, this);
  CreateLineName(index, call->lineName);
  return call;
}

}  // namespace telephony
