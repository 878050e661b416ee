#include "png_writer.h"

#include <windows.h>

#include "exit_codes.h"
#include "owners.h"

namespace menuhost {

namespace {

uint32_t Crc32(const std::string& bytes, size_t from)
{
    static uint32_t table[256];
    static bool ready = false;
    if (!ready) {
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[n] = c;
        }
        ready = true;
    }
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = from; i < bytes.size(); ++i)
        crc = table[(crc ^ static_cast<uint8_t>(bytes[i])) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

uint32_t Adler32(const std::string& bytes)
{
    uint32_t a = 1, b = 0;
    for (char c : bytes) {
        a = (a + static_cast<uint8_t>(c)) % 65521;
        b = (b + a) % 65521;
    }
    return (b << 16) | a;
}

void PutBig32(std::string& out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out += static_cast<char>((value >> shift) & 0xFF);
}

void PutChunk(std::string& out, const char* type, const std::string& data)
{
    PutBig32(out, static_cast<uint32_t>(data.size()));
    const size_t start = out.size();
    out += type;
    out += data;
    PutBig32(out, Crc32(out, start));
}

// Each row: filter type 0, then its pixels.
std::string Scanlines(const Image& image)
{
    std::string raw;
    const size_t stride = static_cast<size_t>(image.width) * 3;
    raw.reserve((stride + 1) * static_cast<size_t>(image.height));
    for (int y = 0; y < image.height; ++y) {
        raw += '\0';
        raw.append(reinterpret_cast<const char*>(image.rgb.data()) + stride * static_cast<size_t>(y), stride);
    }
    return raw;
}

std::string StoredZlib(const std::string& raw)
{
    std::string out("\x78\x01", 2);
    size_t pos = 0;
    do {
        const size_t length = raw.size() - pos < 65535 ? raw.size() - pos : 65535;
        const bool last = pos + length == raw.size();
        out += static_cast<char>(last ? 1 : 0);
        out += static_cast<char>(length & 0xFF);
        out += static_cast<char>(length >> 8);
        out += static_cast<char>(~length & 0xFF);
        out += static_cast<char>((~length >> 8) & 0xFF);
        out.append(raw, pos, length);
        pos += length;
    } while (pos < raw.size());
    PutBig32(out, Adler32(raw));
    return out;
}

}  // namespace

std::string EncodePng(const Image& image)
{
    std::string png("\x89PNG\r\n\x1a\n", 8);
    std::string header;
    PutBig32(header, static_cast<uint32_t>(image.width));
    PutBig32(header, static_cast<uint32_t>(image.height));
    header += std::string("\x08\x02\x00\x00\x00", 5);  // 8-bit RGB, no interlace
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", StoredZlib(Scanlines(image)));
    PutChunk(png, "IEND", std::string());
    return png;
}

void WritePng(const std::wstring& path, const Image& image)
{
    const std::string bytes = EncodePng(image);
    HandleOwner file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                 nullptr));
    DWORD written = 0;
    if (!file.valid() || !WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size())
        throw HostError(kExitPictureFailed, L"cannot write " + path);
}

}  // namespace menuhost
