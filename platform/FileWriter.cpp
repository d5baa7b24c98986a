#include "platform/FileWriter.h"

#include "platform/DescriptorStream.h"

namespace kelvory::platform {

std::unique_ptr<Stream> FileWriter::Contents(std::error_code& error) const {
  const std::uint64_t size = Size(error);
  if (error) return nullptr;
  return std::make_unique<DescriptorStream>(fd_.Get(), size);
}

}  // namespace kelvory::platform
