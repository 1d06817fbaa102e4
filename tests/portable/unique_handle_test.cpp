// The owning template: each handle is closed exactly once, whatever moves,
// resets and releases happen, and closing never changes the last error.

#include <gtest/gtest.h>

#include <vector>

#include "platform/os.h"
#include "platform/unique_handle.h"

namespace tarsio {
namespace {

struct Counted {
    using Type = int;
    static inline std::vector<int> closed;
    static Type Invalid() noexcept { return -1; }
    static void Close(Type h) noexcept {
        closed.push_back(h);
        os::SetLastError(ERROR_INVALID_HANDLE);  // as a failing close would
    }
};
using UniqueCounted = UniqueAny<Counted>;

TEST(UniqueAny, ClosesEachHandleOnceThroughMovesResetsAndReleases) {
    Counted::closed.clear();
    {
        UniqueCounted a(1);
        UniqueCounted b(std::move(a));
        EXPECT_FALSE(a.valid());
        UniqueCounted c(2);
        c = std::move(b);  // closes 2, takes 1
        auto& self = c;
        c = std::move(self);  // a move onto itself keeps the handle
        EXPECT_EQ(c.get(), 1);
        UniqueCounted d(3);
        EXPECT_EQ(d.release(), 3);  // not closed: the caller owns it now
        UniqueCounted e(4);
        *e.put() = 5;  // put() closes 4 first
        e.reset(6);    // closes 5
        os::SetLastError(ERROR_PATH_NOT_FOUND);
        e.reset();  // closes 6; the last error stays
        EXPECT_EQ(os::GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
        EXPECT_FALSE(e);
    }  // closes 1
    EXPECT_EQ(Counted::closed, (std::vector<int>{2, 4, 5, 6, 1}));
}

TEST(UniqueAny, ARealMenuIsDestroyed) {
    UniqueMenu menu(os::CreatePopupMenu());
    ASSERT_TRUE(menu);
    HMENU raw = menu.get();
    menu.reset();
    EXPECT_FALSE(os::DestroyMenu(raw));  // already gone
}

}  // namespace
}  // namespace tarsio
