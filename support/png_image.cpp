// Window pictures to and from PNG files, for the tests and the bench.
#include <png.h>

#include <cstdio>

#include "display/png_file.h"
#include "x_display.h"

bool writePng(const Image& image, const std::string& path) {
  PngFile file;
  return file.open(path) == 0 &&
         file.write(image.width, image.height,
                    reinterpret_cast<const unsigned char*>(image.pixels.data())) == 0;
}

Image readPng(const std::string& path) {
  Image image;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return image;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    return Image{};
  }
  png_init_io(png, file);
  png_read_info(png, info);
  if (png_get_color_type(png, info) == PNG_COLOR_TYPE_RGB && png_get_bit_depth(png, info) == 8) {
    image.width = int(png_get_image_width(png, info));
    image.height = int(png_get_image_height(png, info));
    image.pixels.resize(std::size_t(image.width) * image.height);
    for (int row = 0; row < image.height; ++row) {
      png_read_row(png, reinterpret_cast<png_bytep>(&image.pixels[std::size_t(row) * image.width]),
                   nullptr);
    }
  }
  png_destroy_read_struct(&png, &info, nullptr);
  std::fclose(file);
  return image;
}
