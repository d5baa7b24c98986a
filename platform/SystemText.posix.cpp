#include "platform/SystemText.h"

namespace kelvory::platform {

std::string FromSystemText(std::string_view text) { return std::string(text); }

}  // namespace kelvory::platform
