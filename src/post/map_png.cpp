// PNG encoding of a map raster through libpng (present only when the tool is built with it).
#include <png.h>

#include <cstdio>
#include <memory>
#include <string>

#include "post/map.hpp"
#include "post/outputs.hpp"

namespace aqx::post {

void writePng(const Raster& raster, const std::string& path) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(path.c_str(), "wb"), &std::fclose);
  if (!f) throw FileError("cannot write " + path);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    throw FileError("cannot start the PNG encoder");
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    throw FileError("cannot write the PNG image " + path);
  }
  png_init_io(png, f.get());
  // Maps are mostly flat colour: a fast compression level is nearly as small as the best.
  png_set_compression_level(png, 3);
  png_set_IHDR(png, info, static_cast<png_uint_32>(raster.width), static_cast<png_uint_32>(raster.height), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  static_assert(sizeof(Rgb) == 3);
  for (int y = 0; y < raster.height; ++y) {
    auto* row = const_cast<png_bytep>(
        reinterpret_cast<const png_byte*>(&raster.pixels[static_cast<std::size_t>(y) * raster.width]));
    png_write_row(png, row);
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  if (std::fflush(f.get()) != 0) throw FileError("cannot write " + path);
}

namespace {
void appendBytes(png_structp png, png_bytep data, png_size_t n) {
  static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), n);
}
void noFlush(png_structp) {}
}  // namespace

std::string encodePng(const Raster& raster) {
  std::string bytes;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    throw FileError("cannot start the PNG encoder");
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    throw FileError("cannot encode the PNG image");
  }
  png_set_write_fn(png, &bytes, &appendBytes, &noFlush);
  png_set_compression_level(png, 3);
  png_set_IHDR(png, info, static_cast<png_uint_32>(raster.width), static_cast<png_uint_32>(raster.height), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < raster.height; ++y) {
    auto* row = const_cast<png_bytep>(
        reinterpret_cast<const png_byte*>(&raster.pixels[static_cast<std::size_t>(y) * raster.width]));
    png_write_row(png, row);
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return bytes;
}

}  // namespace aqx::post
