#include "registry/registry_key.h"

#include "brxlib/memory.h"
#include "brxlib/text_builder.h"
#include "registry/key_deletion.h"
#include "registry/root_keys.h"

bool RegistryKey::Create(const WCHAR* path, REGSAM access)
{
    const WCHAR* subkey = path;
    HKEY parent = ResolveRootKey(path, &subkey);
    if (!parent) {
        parent = m_key;
        subkey = path;
    }
    HKEY created = nullptr;
    m_status = RegCreateKeyExW(parent, subkey, 0, nullptr, 0, access, nullptr, &created, nullptr);
    if (m_status != ERROR_SUCCESS)
        return false;
    if (m_key) {
        m_status = RegCloseKey(m_key);
        m_key = nullptr;
        if (m_status != ERROR_SUCCESS) {
            RegCloseKey(created);
            return false;
        }
    }
    m_key = created;
    return true;
}

void RegistryKey::Close()
{
    if (!m_key)
        return;
    m_status = RegCloseKey(m_key);
    m_key = nullptr;
}

namespace {

// Splits a copy of path at its last "\" (walked with CharNextW): the copy
// keeps the parent path, *leaf points at the text after it. Without a "\"
// the parent path is empty and the leaf is the whole path. Returns whether
// a parent path is given.
bool SplitAtLastSeparator(WCHAR* copy, const WCHAR** leaf)
{
    WCHAR* last = nullptr;
    for (WCHAR* p = copy; *p; p = CharNextW(p))
        if (*p == L'\\')
            last = p;
    if (last) {
        *last = 0;
        *leaf = last + 1;
        return copy[0] != 0;
    }
    *leaf = copy;
    return false;
}

}  // namespace

// The status ends as that of the last registry call made, so the result
// follows which step came last: closing the parent when a parent path was
// given, otherwise opening or closing the leaf. A key that stays is never
// reported as deleted, though: a leaf that exists but cannot be opened, a
// leaf that refuses deletion, or a child that cannot be deleted (which also
// ends the walk) gives that key's status instead.
bool RegistryKey::DeleteKeyTree(const WCHAR* path)
{
    LONG failure = ERROR_SUCCESS;
    return DeleteTree(path, &failure);
}

bool RegistryKey::DeleteTree(const WCHAR* path, LONG* failure)
{
    const size_t length = brxlib::TextLength(path);
    brxlib::HeapBuffer<WCHAR> copy(length + 1);
    if (!copy) {
        m_status = ERROR_NOT_ENOUGH_MEMORY;
        *failure = m_status;
        return false;
    }
    brxlib::CopyText(copy.get(), length + 1, path);
    const WCHAR* leafName = nullptr;
    const bool hasParentPath = SplitAtLastSeparator(copy.get(), &leafName);

    const HKEY held = m_key;
    HKEY parent = held;
    if (hasParentPath) {
        const WCHAR* rest = nullptr;
        const HKEY root = ResolveRootKey(copy.get(), &rest);
        parent = nullptr;
        m_status = root ? RegOpenKeyExW(root, rest, 0, ReadWrite, &parent)
                        : RegOpenKeyExW(held, copy.get(), 0, ReadWrite, &parent);
        if (m_status != ERROR_SUCCESS)
            parent = nullptr;
    }

    HKEY leaf = nullptr;
    bool leafStays = false;
    bool childFailed = false;
    bool deleteFailed = false;
    m_status = RegOpenKeyExW(parent, leafName, 0, ReadWrite, &leaf);
    if (m_status != ERROR_SUCCESS) {
        *failure = m_status;
        // A missing leaf is as good as deleted; any other failure leaves it there.
        leafStays = m_status != ERROR_FILE_NOT_FOUND;
    } else {
        m_key = leaf;
        childFailed = !DeleteChildren(leaf, failure);
        if (!childFailed) {
            m_status = DeleteRegistryKey(parent, leafName);
            deleteFailed = m_status != ERROR_SUCCESS;
            if (deleteFailed)
                *failure = m_status;
        }
        m_key = nullptr;
        m_status = RegCloseKey(leaf);
    }
    if (hasParentPath)
        m_status = RegCloseKey(parent);
    m_key = held;
    // The closes succeed either way: they must not hide a key that stayed.
    if (leafStays || childFailed || deleteFailed)
        m_status = *failure;
    return m_status == ERROR_SUCCESS;
}

// Deletes every subkey of leaf, always asking for index 0 since each
// deletion shifts the rest. Stops at the first child that stays.
bool RegistryKey::DeleteChildren(HKEY leaf, LONG* failure)
{
    DWORD longest = 0;
    m_status = RegQueryInfoKeyW(leaf, nullptr, nullptr, nullptr, nullptr, &longest, nullptr, nullptr,
                                nullptr, nullptr, nullptr, nullptr);
    brxlib::HeapBuffer<WCHAR> name(static_cast<size_t>(longest) + 1);
    if (!name) {
        m_status = ERROR_NOT_ENOUGH_MEMORY;
        *failure = m_status;
        return false;
    }
    DWORD size = longest + 1;
    while (RegEnumKeyExW(leaf, 0, name.get(), &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
        LONG childFailure = ERROR_SUCCESS;
        DeleteTree(name.get(), &childFailure);
        if (childFailure != ERROR_SUCCESS) {
            *failure = childFailure;
            return false;
        }
        size = longest + 1;
        m_key = leaf;
    }
    return true;
}
