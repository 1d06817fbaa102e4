#pragma once
// Move-only owners for the two kinds of kernel handle Tarsio opens. They do
// not convert to a raw handle; get() is explicit, release() gives up
// ownership.

#include <utility>

#include "platform/os.h"

namespace tarsio {

template <typename Traits>
class BasicHandle {
public:
    BasicHandle() noexcept : handle_(Traits::Invalid()) {}
    explicit BasicHandle(HANDLE h) noexcept : handle_(h) {}
    BasicHandle(const BasicHandle&) = delete;
    BasicHandle& operator=(const BasicHandle&) = delete;
    BasicHandle(BasicHandle&& other) noexcept : handle_(other.release()) {}
    BasicHandle& operator=(BasicHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    ~BasicHandle() { reset(); }

    HANDLE get() const noexcept { return handle_; }
    bool valid() const noexcept { return handle_ != Traits::Invalid(); }
    explicit operator bool() const noexcept { return valid(); }

    HANDLE release() noexcept { return std::exchange(handle_, Traits::Invalid()); }

    // Closes the handle it held, keeping the caller's last-error value: a
    // close on a failure path must not overwrite the reason for the failure.
    void reset(HANDLE h = Traits::Invalid()) noexcept {
        if (valid()) {
            DWORD saved = os::GetLastError();
            Traits::Close(handle_);
            os::SetLastError(saved);
        }
        handle_ = h;
    }

private:
    HANDLE handle_;
};

struct FileHandleTraits {
    static HANDLE Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) noexcept { os::CloseHandle(h); }
};

struct FindHandleTraits {
    static HANDLE Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) noexcept { os::FindClose(h); }
};

using UniqueHandle = BasicHandle<FileHandleTraits>;
using UniqueFindHandle = BasicHandle<FindHandleTraits>;

}  // namespace tarsio
