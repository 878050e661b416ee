#include "brxlib/text_builder.h"

namespace brxlib {

size_t TextLength(const wchar_t* text)
{
    size_t length = 0;
    if (text)
        while (text[length])
            ++length;
    return length;
}

TextBuilder::TextBuilder(wchar_t* buffer, size_t capacity)
    : m_buffer(buffer), m_capacity(capacity), m_length(0), m_ok(buffer != nullptr && capacity > 0)
{
    if (m_ok)
        m_buffer[0] = 0;
}

TextBuilder& TextBuilder::Append(const wchar_t* text, size_t length)
{
    if (!m_ok)
        return *this;
    if (length >= m_capacity - m_length) {
        m_ok = false;
        return *this;
    }
    for (size_t i = 0; i < length; ++i)
        m_buffer[m_length + i] = text[i];
    m_length += length;
    m_buffer[m_length] = 0;
    return *this;
}

TextBuilder& TextBuilder::Append(const wchar_t* text)
{
    return Append(text, TextLength(text));
}

TextBuilder& TextBuilder::Append(wchar_t unit)
{
    return Append(&unit, 1);
}

TextBuilder& TextBuilder::AppendNumber(int value)
{
    wchar_t digits[16];
    size_t n = 0;
    unsigned int magnitude = value < 0 ? 0u - static_cast<unsigned int>(value) : static_cast<unsigned int>(value);
    do {
        digits[n++] = static_cast<wchar_t>(L'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude);
    if (value < 0)
        Append(L'-');
    while (n)
        Append(digits[--n]);
    return *this;
}

bool CopyText(wchar_t* buffer, size_t capacity, const wchar_t* text)
{
    TextBuilder builder(buffer, capacity);
    builder.Append(text);
    if (!builder.ok() && buffer && capacity)
        buffer[0] = 0;
    return builder.ok();
}

}  // namespace brxlib
