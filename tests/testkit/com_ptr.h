// A minimal owner of one COM reference, for the tests and the benchmarks.
#pragma once
#include <windows.h>
#include <unknwn.h>

template <class T>
class ComPtr {
public:
    ComPtr() : m_p(nullptr) {}
    explicit ComPtr(T* p) : m_p(p) {}  // takes over one reference
    ComPtr(const ComPtr& other) : m_p(other.m_p) { if (m_p) m_p->AddRef(); }
    ~ComPtr() { reset(); }
    ComPtr& operator=(const ComPtr& other)
    {
        if (other.m_p)
            other.m_p->AddRef();
        reset();
        m_p = other.m_p;
        return *this;
    }
    void reset()
    {
        if (m_p)
            m_p->Release();
        m_p = nullptr;
    }
    T* get() const { return m_p; }
    T* operator->() const { return m_p; }
    T** put() { reset(); return &m_p; }
    void** put_void() { return reinterpret_cast<void**>(put()); }
    explicit operator bool() const { return m_p != nullptr; }

private:
    T* m_p;
};

// The reference count of an object, read through an AddRef/Release pair.
inline ULONG RefCount(IUnknown* p)
{
    p->AddRef();
    return p->Release();
}
