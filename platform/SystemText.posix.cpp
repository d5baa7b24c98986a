#include "platform/SystemText.h"

namespace kelvory::platform {

std::string FromSystemText(std::string_view text) { return std::string(text); }

std::string SystemErrorText(const std::error_code&, std::string_view) { return {}; }

}  // namespace kelvory::platform
