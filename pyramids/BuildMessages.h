#pragma once
// Texts the build shows through its host that other front ends must recognise.
#include <string>

namespace kelvory {

// The program folder has no gdal/gdaladdo: nothing can be built.
inline const std::string kToolMissingMessage = "gdaladdo.exe не найден";

// Collecting a finished tool failed unexpectedly; its row is abandoned.
inline const std::string kCollectErrorMessage = "Произошла какая-то ошибка!..";

// The reason of a row cut short by a stop request.
inline const std::string kStoppedReason = "stopped";

// The reason of a row whose file another process (here or on another host) was
// building: it was left untouched.
inline const std::string kBusyReason = "another process is building this file";

}  // namespace kelvory
