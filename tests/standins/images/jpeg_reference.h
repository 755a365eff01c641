// A direct decode with libjpeg-turbo's plain API, as any program would write it: the pixels
// VXXIF32 must deliver, only turned upright and laid out as a bitmap.
#pragma once

#include <cstdint>
#include <vector>

// Top-down RGB rows of a JPEG libjpeg can turn into RGB (not CMYK); empty when it fails.
std::vector<uint8_t> directDecode(const std::vector<uint8_t>& file, int* width, int* height);
