#include "MaskImage.h"

#include <algorithm>

MaskImage::MaskImage(int width, int height)
    : width_(width), height_(height), bytes_(static_cast<size_t>(width) * height, 1) {}

long long MaskImage::MaskedCount() const { return std::count(bytes_.begin(), bytes_.end(), 0); }
