#include "telephony/conf_line.h"

namespace telephony {

TagConfLine::TagConfLine(TagDjDigitDrive* drive, int32_t channel_no, TagDjBaseCall* owner)
    : channel(channel_no), ownerCall(owner), confDrive(drive) {}

}  // namespace telephony
