#pragma once
// One move-only owner for every kind of handle Tarsio holds: kernel handles,
// find handles, menus and, on Windows, GDI objects, icons, accelerator
// tables, item identifier lists and the COM initialisation (platform/
// unique_win32.h). A traits type names the handle type, its invalid value
// and its close function. The owner does not convert to the raw handle:
// get() is explicit, release() gives up ownership, put() hands the address
// of an emptied owner to a function that returns a handle through it.

#include <utility>

#include "platform/os.h"

namespace tarsio {

template <typename Traits>
class UniqueAny {
public:
    using Type = typename Traits::Type;

    UniqueAny() noexcept : value_(Traits::Invalid()) {}
    explicit UniqueAny(Type value) noexcept : value_(value) {}
    UniqueAny(const UniqueAny&) = delete;
    UniqueAny& operator=(const UniqueAny&) = delete;
    UniqueAny(UniqueAny&& other) noexcept : value_(other.release()) {}
    UniqueAny& operator=(UniqueAny&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    ~UniqueAny() { reset(); }

    Type get() const noexcept { return value_; }
    bool valid() const noexcept { return value_ != Traits::Invalid(); }
    explicit operator bool() const noexcept { return valid(); }

    Type release() noexcept { return std::exchange(value_, Traits::Invalid()); }

    // Closes what it held, keeping the caller's last-error value: a close on
    // a failure path must not overwrite the reason for the failure.
    void reset(Type value = Traits::Invalid()) noexcept {
        if (valid()) {
            DWORD saved = os::GetLastError();
            Traits::Close(value_);
            os::SetLastError(saved);
        }
        value_ = value;
    }

    Type* put() noexcept {
        reset();
        return &value_;
    }

private:
    Type value_;
};

struct FileHandleTraits {
    using Type = HANDLE;
    static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) noexcept { os::CloseHandle(h); }
};

struct FindHandleTraits {
    using Type = HANDLE;
    static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) noexcept { os::FindClose(h); }
};

// A handle type whose invalid value is its zero value (nullptr, 0, false).
template <typename T, auto CloseFunction>
struct ZeroInvalidTraits {
    using Type = T;
    static Type Invalid() noexcept { return Type{}; }
    static void Close(Type h) noexcept { CloseFunction(h); }
};

using UniqueHandle = UniqueAny<FileHandleTraits>;
using UniqueFindHandle = UniqueAny<FindHandleTraits>;
using UniqueMenu = UniqueAny<ZeroInvalidTraits<HMENU, &os::DestroyMenu>>;
using UniqueBitmap = UniqueAny<ZeroInvalidTraits<HBITMAP, &os::FreeBitmap>>;

}  // namespace tarsio
