#include "Raster.h"

#include <cstring>

Raster::Raster(int width, int height)
    : width_(width),
      height_(height),
      surface_(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height)),
      data_(cairo_image_surface_get_data(surface_)),
      stride_(cairo_image_surface_get_stride(surface_)) {
  if (data_ != nullptr) {
    cairo_surface_flush(surface_);
    std::memset(data_, 0, static_cast<size_t>(stride_) * height_);
  }
}

Raster::~Raster() { cairo_surface_destroy(surface_); }

Raster::Raster(Raster&& other) noexcept
    : width_(other.width_),
      height_(other.height_),
      surface_(cairo_surface_reference(other.surface_)),
      data_(other.data_),
      stride_(other.stride_) {}

void Raster::Set(int x, int y, Rgb colour) {
  if (!Inside(x, y)) return;
  Row(y)[x] = 0xff000000u | static_cast<uint32_t>(colour.r) << 16 | static_cast<uint32_t>(colour.g) << 8 | colour.b;
}

uint32_t Raster::Pixel(int x, int y) const { return Inside(x, y) ? Row(y)[x] : 0; }

cairo_surface_t* Raster::Surface() {
  cairo_surface_mark_dirty(surface_);
  return surface_;
}
