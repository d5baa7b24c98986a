#include "app/tools/JpegEncoder.h"

// clang-format off
#include <cstdio>  // jpeglib.h needs FILE and size_t declared first
#include <jpeglib.h>
// clang-format on

#include <QSaveFile>
#include <csetjmp>
#include <cstdlib>
#include <memory>

namespace kelvory::tools {

namespace {

// On the heap so that nothing libjpeg changed is a local of the function that longjmps.
struct Compression {
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  std::jmp_buf failure{};
  char message[JMSG_LENGTH_MAX] = {};
  bool created = false;
  unsigned char* buffer = nullptr;
  unsigned long size = 0;

  Compression() = default;
  Compression(const Compression&) = delete;
  Compression& operator=(const Compression&) = delete;
  ~Compression() {
    if (created) {
      jpeg_destroy_compress(&info);
    }
    std::free(buffer);
  }
};

[[noreturn]] void ExitWithError(j_common_ptr info) {
  auto& owner = *static_cast<Compression*>(info->client_data);
  info->err->format_message(info, owner.message);
  std::longjmp(owner.failure, 1);
}

}  // namespace

bool WriteJpeg(const QImage& image, const QString& path, int quality, QString& reason) {
  const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
  const auto state = std::make_unique<Compression>();
  state->info.err = jpeg_std_error(&state->errors);
  state->errors.error_exit = ExitWithError;
  state->info.client_data = state.get();
  if (setjmp(state->failure) != 0) {
    reason = QString::fromLocal8Bit(state->message);
    return false;
  }
  jpeg_create_compress(&state->info);
  state->created = true;
  jpeg_mem_dest(&state->info, &state->buffer, &state->size);
  state->info.image_width = static_cast<JDIMENSION>(rgb.width());
  state->info.image_height = static_cast<JDIMENSION>(rgb.height());
  state->info.input_components = 3;
  state->info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&state->info);
  jpeg_set_quality(&state->info, quality, TRUE);
  jpeg_start_compress(&state->info, TRUE);
  while (state->info.next_scanline < state->info.image_height) {
    // libjpeg takes rows as non-const pointers but only reads them.
    JSAMPROW row = const_cast<JSAMPROW>(rgb.constScanLine(static_cast<int>(state->info.next_scanline)));
    jpeg_write_scanlines(&state->info, &row, 1);
  }
  jpeg_finish_compress(&state->info);

  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
      file.write(reinterpret_cast<const char*>(state->buffer), static_cast<qint64>(state->size)) !=
          static_cast<qint64>(state->size) ||
      !file.commit()) {
    reason = file.errorString();
    return false;
  }
  return true;
}

}  // namespace kelvory::tools
