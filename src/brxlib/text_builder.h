// Bounded string work in one place. A text that does not fit is refused,
// never cut: the builder remembers the failure and callers give up.
#pragma once
#include <stddef.h>
#include <wchar.h>

namespace brxlib {

size_t TextLength(const wchar_t* text);

// Builds a NUL-terminated text in a caller's buffer of `capacity` units.
class TextBuilder {
public:
    TextBuilder(wchar_t* buffer, size_t capacity);

    TextBuilder& Append(const wchar_t* text);
    TextBuilder& Append(const wchar_t* text, size_t length);
    TextBuilder& Append(wchar_t unit);
    TextBuilder& AppendNumber(int value);

    void Fail() { m_ok = false; }

    // True while every append fitted (terminator included).
    bool ok() const { return m_ok; }
    size_t length() const { return m_length; }

private:
    wchar_t* m_buffer;
    size_t m_capacity;
    size_t m_length;
    bool m_ok;
};

// Copies a whole text into buffer[capacity]; false (buffer emptied) when it does not fit.
bool CopyText(wchar_t* buffer, size_t capacity, const wchar_t* text);

}  // namespace brxlib
