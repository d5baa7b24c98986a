#include "platform/UserLanguage.h"

namespace kelvory::platform {

std::string UserInterfaceLanguage() { return {}; }

}  // namespace kelvory::platform
