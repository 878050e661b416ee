// The module's single allocation function. Every heap block of the module
// comes from Allocate and goes back through Free, so that tests can make the
// Nth allocation fail or put each block in front of a guard page.
#pragma once
#include <stddef.h>

namespace brxlib {

// Returns null when memory cannot be obtained; never throws.
void* Allocate(size_t bytes);
void Free(void* block);

// Zero-filled array of count elements; null on failure or when the byte size overflows.
template <class T>
T* AllocateZeroed(size_t count)
{
    if (count > static_cast<size_t>(-1) / sizeof(T))
        return nullptr;
    T* block = static_cast<T*>(Allocate(count * sizeof(T)));
    if (block) {
        unsigned char* bytes = reinterpret_cast<unsigned char*>(block);
        for (size_t i = 0; i < count * sizeof(T); ++i)
            bytes[i] = 0;
    }
    return block;
}

// Owner of a block from Allocate.
template <class T>
class HeapBuffer {
public:
    explicit HeapBuffer(size_t count) : m_data(AllocateZeroed<T>(count)), m_count(m_data ? count : 0) {}
    ~HeapBuffer() { Free(m_data); }
    HeapBuffer(const HeapBuffer&) = delete;
    HeapBuffer& operator=(const HeapBuffer&) = delete;
    T* get() const { return m_data; }
    size_t size() const { return m_count; }
    explicit operator bool() const { return m_data != nullptr; }

private:
    T* m_data;
    size_t m_count;
};

}  // namespace brxlib
