// Reads back the PNG files menuhost writes (8-bit RGB, stored deflate blocks).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace menuhost_test {

struct PngPicture {
    bool ok = false;
    std::string problem;
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> rgb;
};

PngPicture ReadStoredPng(const std::string& bytes);
// How many different colours the picture has.
size_t ColourCount(const PngPicture& picture);

}  // namespace menuhost_test
