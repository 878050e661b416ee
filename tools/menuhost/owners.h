// Small owners of COM pointers, ID lists, registry keys and menus.
#pragma once
#include <windows.h>
#include <shlobj.h>

#include <utility>

namespace menuhost {

template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { Reset(); }
    ComPtr(const ComPtr& other) : p_(other.p_) { if (p_) p_->AddRef(); }
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ComPtr& operator=(ComPtr other) { std::swap(p_, other.p_); return *this; }

    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // For out parameters: releases what is held first.
    T** Put() { Reset(); return &p_; }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }
    void Reset() { if (p_) std::exchange(p_, nullptr)->Release(); }

    template <typename U>
    HRESULT As(REFIID iid, ComPtr<U>& out) const { return p_->QueryInterface(iid, out.PutVoid()); }

private:
    T* p_ = nullptr;
};

// An ID list from the shell allocator.
class Pidl {
public:
    Pidl() = default;
    explicit Pidl(ITEMIDLIST* p) : p_(p) {}
    ~Pidl() { CoTaskMemFree(p_); }
    Pidl(Pidl&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    Pidl& operator=(Pidl&& other) noexcept { std::swap(p_, other.p_); return *this; }
    Pidl(const Pidl&) = delete;
    Pidl& operator=(const Pidl&) = delete;

    ITEMIDLIST* get() const { return p_; }
    ITEMIDLIST** Put() { CoTaskMemFree(std::exchange(p_, nullptr)); return &p_; }

private:
    ITEMIDLIST* p_ = nullptr;
};

class RegKey {
public:
    RegKey() = default;
    ~RegKey() { Reset(); }
    RegKey(RegKey&& other) noexcept : key_(std::exchange(other.key_, nullptr)) {}
    RegKey& operator=(RegKey&& other) noexcept { std::swap(key_, other.key_); return *this; }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;

    bool Open(HKEY root, const wchar_t* path)
    {
        Reset();
        return RegOpenKeyExW(root, path, 0, KEY_READ, &key_) == ERROR_SUCCESS;
    }
    HKEY get() const { return key_; }
    void Reset() { if (key_) RegCloseKey(std::exchange(key_, nullptr)); }

private:
    HKEY key_ = nullptr;
};

class MenuOwner {
public:
    explicit MenuOwner(HMENU menu) : menu_(menu) {}
    ~MenuOwner() { if (menu_) DestroyMenu(menu_); }
    MenuOwner(const MenuOwner&) = delete;
    MenuOwner& operator=(const MenuOwner&) = delete;
    HMENU get() const { return menu_; }

private:
    HMENU menu_;
};

class HandleOwner {
public:
    explicit HandleOwner(HANDLE h = nullptr) : h_(h) {}
    ~HandleOwner() { if (h_ && h_ != INVALID_HANDLE_VALUE) CloseHandle(h_); }
    HandleOwner(const HandleOwner&) = delete;
    HandleOwner& operator=(const HandleOwner&) = delete;
    HANDLE get() const { return h_; }
    bool valid() const { return h_ && h_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE h_;
};

// The calling thread's apartment; shell extensions are apartment-threaded.
class Apartment {
public:
    Apartment() : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
    ~Apartment() { if (SUCCEEDED(hr_)) CoUninitialize(); }
    Apartment(const Apartment&) = delete;
    Apartment& operator=(const Apartment&) = delete;
    HRESULT status() const { return hr_; }

private:
    HRESULT hr_;
};

}  // namespace menuhost
