// simple_array: the module's one container, a growable array of plain records.
// Elements are raw records, copied one by one through the virtual copy_element;
// storage always holds one spare element beyond the capacity. Operations that
// need memory return false when it cannot be had and leave the array as it was.
#pragma once
#include "brxlib/memory.h"

namespace brxlib {

template <class T>
class simple_array {
public:
    simple_array() : data(nullptr), count(0), capacity(0) {}
    // Not virtual on purpose: the table holds copy_element and assign_range only.
    ~simple_array() { Free(data); }
    simple_array(const simple_array&) = delete;
    simple_array& operator=(const simple_array&) = delete;

    virtual void copy_element(T* destination, const T* source) { *destination = *source; }

    // Writes n elements of source at position; count becomes position + n.
    virtual bool assign_range(const T* source, int n, int position)
    {
        if (n < 0 || position < 0 || n > INT_LIMIT - position)
            return false;
        const int needed = position + n;
        T* old = nullptr;
        if (capacity < needed) {
            old = data;
            if (!grow_to(needed))
                return false;
        }
        count = needed;
        for (int i = 0; i < n; ++i)
            copy_element(&data[position + i], &source[i]);
        // Freed only now, so a source inside the old storage stays readable.
        Free(old);
        return true;
    }

    bool reserve(int n)
    {
        if (capacity >= n)
            return true;
        T* old = data;
        if (!grow_to(n))
            return false;
        Free(old);
        return true;
    }

    bool append(const T& element) { return assign_range(&element, 1, count); }

    void clear()
    {
        Free(data);
        data = nullptr;
        count = 0;
        capacity = 0;
    }

    T* data;
    int count;
    int capacity;

private:
    static const int INT_LIMIT = 0x7FFFFFFF;

    // New storage for n + n/2 elements (plus the spare one) holding the old
    // contents; the caller frees the old storage.
    bool grow_to(int n)
    {
        const long long wanted = static_cast<long long>(n) + n / 2;
        if (wanted >= INT_LIMIT)
            return false;
        const size_t elements = static_cast<size_t>(wanted) + 1;
        if (elements > static_cast<size_t>(-1) / sizeof(T))
            return false;
        T* storage = static_cast<T*>(Allocate(elements * sizeof(T)));
        if (!storage)
            return false;
        T* oldData = data;
        const int oldCount = count;
        data = storage;
        capacity = static_cast<int>(wanted);
        count = 0;
        assign_range(oldData, oldCount, 0);
        return true;
    }
};

}  // namespace brxlib
