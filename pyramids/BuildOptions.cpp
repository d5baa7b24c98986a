#include "pyramids/BuildOptions.h"

namespace kelvory {

const char* GdalName(Resampling method) {
  switch (method) {
    case Resampling::Nearest: return "nearest";
    case Resampling::Average: return "average";
    case Resampling::Bilinear: return "bilinear";
    case Resampling::Cubic: return "cubic";
    case Resampling::CubicSpline: return "cubicspline";
    case Resampling::Lanczos: return "lanczos";
    case Resampling::Gauss: return "gauss";
    case Resampling::Mode: return "mode";
    case Resampling::Rms: return "rms";
  }
  return "nearest";
}

std::optional<Resampling> ResamplingNamed(const std::string& name) {
  // GDAL takes a method's name in any letter case.
  std::string lower = name;
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  for (const Resampling method : kResamplingMethods) {
    if (lower == GdalName(method)) return method;
  }
  return std::nullopt;
}

}  // namespace kelvory
