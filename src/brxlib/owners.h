// Owners for what must be released, so no code path can forget a close.
#pragma once
#include <windows.h>
#include <unknwn.h>

namespace brxlib {

// A kernel handle; both null and INVALID_HANDLE_VALUE count as none.
class UniqueHandle {
public:
    explicit UniqueHandle(HANDLE handle = nullptr) : m_handle(handle) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    HANDLE get() const { return m_handle; }
    bool valid() const { return m_handle && m_handle != INVALID_HANDLE_VALUE; }
    void reset(HANDLE handle = nullptr)
    {
        if (valid())
            CloseHandle(m_handle);
        m_handle = handle;
    }

private:
    HANDLE m_handle;
};

class UniqueFind {
public:
    explicit UniqueFind(HANDLE handle) : m_handle(handle) {}
    ~UniqueFind()
    {
        if (valid())
            FindClose(m_handle);
    }
    UniqueFind(const UniqueFind&) = delete;
    UniqueFind& operator=(const UniqueFind&) = delete;
    HANDLE get() const { return m_handle; }
    bool valid() const { return m_handle != INVALID_HANDLE_VALUE; }

private:
    HANDLE m_handle;
};

// Global memory locked for the life of the owner.
class LockedGlobal {
public:
    explicit LockedGlobal(HGLOBAL memory) : m_memory(memory), m_data(memory ? GlobalLock(memory) : nullptr) {}
    ~LockedGlobal()
    {
        if (m_data)
            GlobalUnlock(m_memory);
    }
    LockedGlobal(const LockedGlobal&) = delete;
    LockedGlobal& operator=(const LockedGlobal&) = delete;
    void* data() const { return m_data; }
    SIZE_T size() const { return m_data ? GlobalSize(m_memory) : 0; }

private:
    HGLOBAL m_memory;
    void* m_data;
};

// A storage medium released with ReleaseStgMedium.
class UniqueStgMedium {
public:
    UniqueStgMedium() : medium() {}
    ~UniqueStgMedium() { if (medium.tymed != TYMED_NULL) ReleaseStgMedium(&medium); }
    UniqueStgMedium(const UniqueStgMedium&) = delete;
    UniqueStgMedium& operator=(const UniqueStgMedium&) = delete;
    STGMEDIUM medium;
};

}  // namespace brxlib
