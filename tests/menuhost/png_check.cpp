#include "png_check.h"

#include <set>

namespace menuhost_test {

namespace {

uint32_t Big32(const std::string& b, size_t at)
{
    return (uint32_t(uint8_t(b[at])) << 24) | (uint32_t(uint8_t(b[at + 1])) << 16) |
           (uint32_t(uint8_t(b[at + 2])) << 8) | uint32_t(uint8_t(b[at + 3]));
}

bool Fail(PngPicture& picture, const std::string& problem)
{
    picture.problem = problem;
    return false;
}

// Chunks in order; IDAT bodies joined.
bool ReadChunks(const std::string& bytes, PngPicture& picture, std::string& zlib)
{
    if (bytes.compare(0, 8, std::string("\x89PNG\r\n\x1a\n", 8)) != 0)
        return Fail(picture, "no PNG signature");
    for (size_t pos = 8; pos + 12 <= bytes.size();) {
        const uint32_t length = Big32(bytes, pos);
        if (pos + 12 + length > bytes.size())
            return Fail(picture, "chunk runs past the end");
        const std::string type = bytes.substr(pos + 4, 4);
        const std::string data = bytes.substr(pos + 8, length);
        if (type == "IHDR") {
            if (length != 13 || data.compare(8, 5, std::string("\x08\x02\x00\x00\x00", 5)) != 0)
                return Fail(picture, "IHDR is not 8-bit RGB");
            picture.width = Big32(data, 0);
            picture.height = Big32(data, 4);
        } else if (type == "IDAT") {
            zlib += data;
        } else if (type == "IEND") {
            return true;
        }
        pos += 12 + length;
    }
    return Fail(picture, "no IEND");
}

bool Inflate(const std::string& zlib, PngPicture& picture, std::string& raw)
{
    size_t pos = 2;
    for (bool last = false; !last;) {
        if (pos + 5 > zlib.size())
            return Fail(picture, "deflate data cut short");
        const uint8_t header = uint8_t(zlib[pos]);
        last = header & 1;
        const unsigned length = uint8_t(zlib[pos + 1]) | (uint8_t(zlib[pos + 2]) << 8);
        const unsigned check = uint8_t(zlib[pos + 3]) | (uint8_t(zlib[pos + 4]) << 8);
        if ((header >> 1) != 0 || (length ^ 0xFFFFu) != check || pos + 5 + length > zlib.size())
            return Fail(picture, "not a stored deflate block");
        raw.append(zlib, pos + 5, length);
        pos += 5 + length;
    }
    return true;
}

}  // namespace

PngPicture ReadStoredPng(const std::string& bytes)
{
    PngPicture picture;
    std::string zlib, raw;
    if (!ReadChunks(bytes, picture, zlib) || !Inflate(zlib, picture, raw))
        return picture;
    const size_t stride = size_t(picture.width) * 3;
    if (raw.size() != (stride + 1) * picture.height) {
        picture.problem = "scanlines do not fit the size";
        return picture;
    }
    for (size_t y = 0; y < picture.height; ++y)
        picture.rgb.insert(picture.rgb.end(), raw.begin() + y * (stride + 1) + 1, raw.begin() + (y + 1) * (stride + 1));
    picture.ok = true;
    return picture;
}

size_t ColourCount(const PngPicture& picture)
{
    std::set<uint32_t> colours;
    for (size_t i = 0; i + 2 < picture.rgb.size(); i += 3)
        colours.insert((uint32_t(picture.rgb[i]) << 16) | (uint32_t(picture.rgb[i + 1]) << 8) | picture.rgb[i + 2]);
    return colours.size();
}

}  // namespace menuhost_test
