#pragma once

namespace kelvory {

// The address both windows' pictures open.
inline constexpr char kWebSiteAddress[] = "https://gdal.org/programs/gdaladdo.html";

}  // namespace kelvory
