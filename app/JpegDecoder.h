#pragma once
// Decoding of the JPEG pictures compiled into the program.
#include <QImage>
#include <cstdint>
#include <span>

#include "platform/Errors.h"

namespace kelvory {

// A JPEG stream that cannot be decoded; the message names libjpeg's reason.
class EJpegError : public Exception {
 public:
  using Exception::Exception;
};

// Decodes a JPEG stream into an opaque RGB image. Damaged or truncated data, an
// unsupported colour model or an image too large to hold raise EJpegError.
QImage DecodeJpeg(std::span<const std::uint8_t> data);

}  // namespace kelvory
