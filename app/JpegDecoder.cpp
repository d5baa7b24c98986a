#include "app/JpegDecoder.h"

// clang-format off
#include <cstdio>  // jpeglib.h needs FILE and size_t declared first
#include <jpeglib.h>
// clang-format on

#include <csetjmp>
#include <climits>
#include <memory>

namespace kelvory {

namespace {

// Large enough for any picture of a window, small enough that a damaged header cannot
// make us allocate gigabytes.
constexpr std::uint64_t kMaxPixels = 64u * 1024u * 1024u;

// Everything libjpeg touches lives on the heap: after a longjmp, local variables that
// changed since setjmp have indeterminate values, heap objects do not.
struct Decompression {
  jpeg_decompress_struct info{};
  jpeg_error_mgr errors{};
  std::jmp_buf failure{};
  char message[JMSG_LENGTH_MAX] = {};
  bool created = false;
  QImage image;

  Decompression() = default;
  Decompression(const Decompression&) = delete;
  Decompression& operator=(const Decompression&) = delete;
  ~Decompression() {
    if (created) {
      jpeg_destroy_decompress(&info);
    }
  }
};

Decompression& Owner(j_common_ptr info) {
  return *static_cast<Decompression*>(info->client_data);
}

[[noreturn]] void ExitWithError(j_common_ptr info) {
  Decompression& owner = Owner(info);
  info->err->format_message(info, owner.message);
  std::longjmp(owner.failure, 1);
}

// libjpeg only warns about damaged data and goes on with made-up pixels; a picture of
// ours must be intact, so a warning is a failure too.
void EmitMessage(j_common_ptr info, int level) {
  if (level < 0) {
    ExitWithError(info);
  }
}

}  // namespace

QImage DecodeJpeg(std::span<const std::uint8_t> data) {
  if (data.empty()) {
    throw EJpegError("Изображение JPEG повреждено: нет данных");
  }
  if (data.size() > ULONG_MAX) {
    throw EJpegError("Изображение JPEG повреждено: слишком длинные данные");
  }
  const auto state = std::make_unique<Decompression>();
  state->info.err = jpeg_std_error(&state->errors);
  state->errors.error_exit = ExitWithError;
  state->errors.emit_message = EmitMessage;
  state->info.client_data = state.get();

  if (setjmp(state->failure) != 0) {
    throw EJpegError(std::string("Изображение JPEG повреждено: ") + state->message);
  }
  jpeg_create_decompress(&state->info);
  state->created = true;
  jpeg_mem_src(&state->info, data.data(), static_cast<unsigned long>(data.size()));
  jpeg_read_header(&state->info, TRUE);

  const std::uint64_t pixels = std::uint64_t{state->info.image_width} * state->info.image_height;
  if (pixels > kMaxPixels) {
    throw EJpegError("Изображение JPEG слишком велико");
  }
  state->info.out_color_space = JCS_EXT_RGBX;
  jpeg_start_decompress(&state->info);

  state->image = QImage(static_cast<int>(state->info.output_width), static_cast<int>(state->info.output_height),
                        QImage::Format_RGBX8888);
  if (state->image.isNull()) {
    throw EJpegError("Недостаточно памяти для изображения JPEG");
  }
  while (state->info.output_scanline < state->info.output_height) {
    JSAMPROW row = state->image.scanLine(static_cast<int>(state->info.output_scanline));
    jpeg_read_scanlines(&state->info, &row, 1);
  }
  jpeg_finish_decompress(&state->info);
  return std::move(state->image);
}

}  // namespace kelvory
