// Movable global memory blocks: the memory that the application sees (capability
// containers, bitmaps, picture data). One place allocates them and one scoped lock holds
// the handle and the pointer together, so no exit path can leave a block locked.
#pragma once

#include <windows.h>

// A new movable block of the given size, zero-filled; 0 when memory is short.
HGLOBAL globalAllocate(SIZE_T size);

// Locks a block for the lifetime of the object. `get()` is null when the handle is 0 or the
// lock failed; `size()` is the block's real size, which bounds every read of foreign data.
template <typename T = BYTE>
class GlobalLockGuard {
public:
    explicit GlobalLockGuard(HGLOBAL handle)
        : handle_(handle), data_(handle ? static_cast<T*>(GlobalLock(handle)) : nullptr),
          size_(data_ ? GlobalSize(handle) : 0)
    {
    }
    ~GlobalLockGuard()
    {
        if (data_) GlobalUnlock(handle_);
    }
    GlobalLockGuard(const GlobalLockGuard&) = delete;
    GlobalLockGuard& operator=(const GlobalLockGuard&) = delete;

    T* get() const { return data_; }
    T* operator->() const { return data_; }
    explicit operator bool() const { return data_ != nullptr; }
    SIZE_T size() const { return size_; }

private:
    HGLOBAL handle_;
    T* data_;
    SIZE_T size_;
};
