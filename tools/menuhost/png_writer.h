// PNG files without zlib: RGB rows in stored (uncompressed) deflate blocks.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace menuhost {

struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;  // top row first, 3 bytes a pixel
};

std::string EncodePng(const Image& image);
// Throws HostError(kExitPictureFailed).
void WritePng(const std::wstring& path, const Image& image);

}  // namespace menuhost
