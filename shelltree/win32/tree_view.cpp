// The folder trees on the TreeView common control.

#include <windows.h>
// after windows.h
#include <commctrl.h>
#include <shellapi.h>

#include <map>

#include "gui/application.h"
#include "gui/win32/dpi.h"
#include "platform/unique_win32.h"
#include "shelltree/explorer_tree.h"

namespace shelltree {
namespace {

constexpr int kButtonImage = 1;  // state image index of the check button

// The state images at one size: none, and the push button that nodes whose
// CheckType is the button show.
// Made once per size, for the process's lifetime.
HIMAGELIST ButtonImages(int size) {
    static std::map<int, tarsio::UniqueImageList> lists;
    tarsio::UniqueImageList& list = lists[size];
    if (list) return list.get();
    list.reset(ImageList_Create(size, size, ILC_COLOR24 | ILC_MASK, 2, 0));
    tarsio::WindowDC screen(nullptr);
    tarsio::UniqueDC dc(CreateCompatibleDC(screen.get()));
    tarsio::UniqueBrush magenta(CreateSolidBrush(RGB(255, 0, 255)));
    if (!list || !dc || !magenta) return list.get();
    int inset = size / 8;
    for (int i = 0; i < 2; ++i) {
        tarsio::UniqueBitmap bitmap(CreateCompatibleBitmap(screen.get(), size, size));
        HGDIOBJ old = SelectObject(dc.get(), bitmap.get());
        RECT all{0, 0, size, size};
        FillRect(dc.get(), &all, magenta.get());
        if (i == kButtonImage) {
            RECT button{inset, inset, size - inset, size - inset};
            DrawFrameControl(dc.get(), &button, DFC_BUTTON, DFCS_BUTTONPUSH);
        }
        SelectObject(dc.get(), old);
        ImageList_AddMasked(list.get(), bitmap.get(), RGB(255, 0, 255));  // copies the bitmap
    }
    return list.get();
}

COLORREF ToColorRef(gui::Color c) { return c == gui::clBtnFace ? GetSysColor(COLOR_BTNFACE) : c; }

class Win32TreeView : public TreeView {
public:
    Win32TreeView(TVirtualExplorerTree& tree, HWND hwnd) : tree_(tree), hwnd_(hwnd) {
        SHFILEINFOW info{};
        auto system = reinterpret_cast<HIMAGELIST>(
            SHGetFileInfoW(L"C:\\", 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
        if (system) TreeView_SetImageList(hwnd_, system, TVSIL_NORMAL);
        SetWindowSubclass(hwnd_, Subclass, 1, reinterpret_cast<DWORD_PTR>(this));
        Rescale();
    }

    // Row height and check images for the window's DPI.
    void Rescale() {
        UINT dpi = gui::win32::DpiOf(hwnd_);
        TreeView_SetImageList(hwnd_, ButtonImages(gui::win32::Scale(16, dpi)), TVSIL_STATE);
        TreeView_SetItemHeight(hwnd_, gui::win32::Scale(tree_.DefaultNodeHeight, dpi));
    }

    void Reset() override {
        Guard g(quiet_);
        TreeView_DeleteAllItems(hwnd_);
    }

    void Insert(TreeNode& node) override {
        TVINSERTSTRUCTW insert{};
        insert.hParent = node.Parent ? static_cast<HTREEITEM>(node.Parent->item) : TVI_ROOT;
        insert.hInsertAfter = TVI_LAST;
        std::wstring caption = FromAnsiWide(node.ns->DisplayName());
        TVITEMW& item = insert.item;
        item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_CHILDREN | TVIF_STATE | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
        item.pszText = caption.data();
        item.lParam = reinterpret_cast<LPARAM>(&node);
        item.cChildren = node.hasChildren ? 1 : 0;
        // Icons and check images are asked for when the row is first drawn.
        item.iImage = item.iSelectedImage = I_IMAGECALLBACK;
        item.state = StateOf(node);
        item.stateMask = TVIS_STATEIMAGEMASK;
        Guard g(quiet_);
        node.item = reinterpret_cast<HTREEITEM>(
            SendMessageW(hwnd_, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
    }

    void RemoveChildren(TreeNode& node) override {
        Guard g(quiet_);
        auto item = static_cast<HTREEITEM>(node.item);
        while (HTREEITEM child = TreeView_GetChild(hwnd_, item)) TreeView_DeleteItem(hwnd_, child);
    }

    void Update(TreeNode& node) override {
        TVITEMW item{};
        item.mask = TVIF_CHILDREN | TVIF_STATE | TVIF_HANDLE;
        item.hItem = static_cast<HTREEITEM>(node.item);
        item.cChildren = node.hasChildren ? 1 : 0;
        item.state = StateOf(node);
        item.stateMask = TVIS_STATEIMAGEMASK;
        Guard g(quiet_);
        SendMessageW(hwnd_, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }

    void Expand(TreeNode& node, bool expand) override {
        Guard g(quiet_);
        TreeView_Expand(hwnd_, static_cast<HTREEITEM>(node.item), expand ? TVE_EXPAND : TVE_COLLAPSE);
    }

    void Select(TreeNode* node) override {
        Guard g(quiet_);
        TreeView_SelectItem(hwnd_, node ? static_cast<HTREEITEM>(node->item) : nullptr);
    }

    TreeNode* TopNode() override { return NodeOf(TreeView_GetFirstVisible(hwnd_)); }

    void SetTopNode(TreeNode* node) override {
        if (node) TreeView_SelectSetFirstVisible(hwnd_, static_cast<HTREEITEM>(node->item));
    }

    void BeginUpdate() override {
        if (updates_++ == 0) SendMessageW(hwnd_, WM_SETREDRAW, FALSE, 0);
    }
    void EndUpdate() override {
        if (--updates_ == 0) {
            SendMessageW(hwnd_, WM_SETREDRAW, TRUE, 0);
            RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
        }
    }

    int TrackPopup(HMENU menu, ShellContextMenu& shellMenu, TreeNode* node) override {
        POINT at;
        GetCursorPos(&at);
        RECT r{};
        if (node && node->item && TreeView_GetItemRect(hwnd_, static_cast<HTREEITEM>(node->item), &r, TRUE)) {
            {
                at = POINT{r.left, r.bottom};
                ClientToScreen(hwnd_, &at);
            }
        }
        tracking_ = &shellMenu;
        int chosen = static_cast<int>(
            TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, hwnd_, nullptr));
        tracking_ = nullptr;
        return chosen;
    }

    void* OwnerWindow() override { return hwnd_; }

    bool HandleNotify(void* header, long long& result) override {
        auto* nm = static_cast<NMHDR*>(header);
        switch (nm->code) {
            case TVN_ITEMEXPANDINGW:
            case TVN_ITEMEXPANDINGA: {
                if (quiet_) return false;
                auto* tv = reinterpret_cast<NMTREEVIEWW*>(header);
                TreeNode* node = reinterpret_cast<TreeNode*>(tv->itemNew.lParam);
                if (!node) return false;
                if (tv->action & TVE_EXPAND) {
                    bool expanded = false;
                    gui::App().DispatchAction(&tree_, [&] { expanded = tree_.UserExpanding(node); });
                    result = expanded ? FALSE : TRUE;
                } else if (tv->action & TVE_COLLAPSE) {
                    node->expanded = false;
                    result = FALSE;
                }
                return true;
            }
            case TVN_SELCHANGINGW:
            case TVN_SELCHANGINGA: {
                // The mouse selects only by a click on an item (NM_CLICK), never
                // beside one or on the button.
                auto* tv = reinterpret_cast<NMTREEVIEWW*>(header);
                if (quiet_ || tv->action != TVC_BYMOUSE) return false;
                result = (HitTest().flags & TVHT_ONITEM) ? FALSE : TRUE;
                return true;
            }
            case TVN_SELCHANGEDW:
            case TVN_SELCHANGEDA: {
                if (quiet_) return false;
                auto* tv = reinterpret_cast<NMTREEVIEWW*>(header);
                TreeNode* node = reinterpret_cast<TreeNode*>(tv->itemNew.lParam);
                Guard g(quiet_);
                tree_.SelectNode(node);
                return true;
            }
            case TVN_GETDISPINFOW:
            case TVN_GETDISPINFOA: {
                auto* info = reinterpret_cast<NMTVDISPINFOW*>(header);
                TreeNode* node = reinterpret_cast<TreeNode*>(info->item.lParam);
                if (!node || !(info->item.mask & (TVIF_IMAGE | TVIF_SELECTEDIMAGE))) return false;
                gui::App().Dispatch([&] { tree_.InitNode(node); });
                info->item.iImage = info->item.iSelectedImage = node->ns->IconIndex();
                info->item.mask |= TVIF_DI_SETITEM;
                return true;
            }
            case NM_CLICK: {
                // Check images never get here (see Subclass); a click on an
                // item selects it, on empty space or a button it does nothing.
                TVHITTESTINFO hit = HitTest();
                TreeNode* node = NodeOf(hit.hItem);
                if (node && (hit.flags & TVHT_ONITEM)) {
                    Guard g(quiet_);
                    TreeView_SelectItem(hwnd_, hit.hItem);
                    gui::App().DispatchAction(&tree_, [&] { tree_.ClickNode(node); });
                }
                // Non-zero would also stop the tree's own handling: the
                // expand button would no longer expand.
                result = FALSE;
                return true;
            }
            case NM_RCLICK: {
                TVHITTESTINFO hit = HitTest();
                TreeNode* node = NodeOf(hit.hItem);
                if (node && (hit.flags & TVHT_ONITEM))
                    gui::App().DispatchAction(&tree_, [&] { tree_.RightClickNode(node); });
                result = TRUE;
                return true;
            }
            case NM_CUSTOMDRAW: {
                auto* draw = reinterpret_cast<NMTVCUSTOMDRAW*>(header);
                if (draw->nmcd.dwDrawStage == CDDS_PREPAINT) {
                    result = CDRF_NOTIFYITEMDRAW;
                    return true;
                }
                if (draw->nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
                    TreeNode* node = reinterpret_cast<TreeNode*>(draw->nmcd.lItemlParam);
                    Canvas canvas;
                    if (node) gui::App().Dispatch([&] { tree_.PaintNode(node, canvas); });
                    // The selection is drawn as selected also while another
                    // control has the focus (after Inspect or Reset, the
                    // button has it): a grey box would hide what Delete acts on.
                    if (node && node->selected) {
                        draw->clrTextBk = GetSysColor(COLOR_HIGHLIGHT);
                        draw->clrText = GetSysColor(COLOR_HIGHLIGHTTEXT);
                    }
                    if (canvas.fontColor != gui::clDefault) draw->clrText = ToColorRef(canvas.fontColor);
                    result = CDRF_DODEFAULT;
                    return true;
                }
                return false;
            }
            default: return false;
        }
    }

private:
    struct Guard {
        explicit Guard(bool& flag) : flag_(flag), old_(flag) { flag_ = true; }
        ~Guard() { flag_ = old_; }
        bool& flag_;
        bool old_;
    };

    static UINT StateOf(const TreeNode& node) {
        return INDEXTOSTATEIMAGEMASK(node.CheckType == ctButton ? kButtonImage : 0);
    }

    static std::wstring FromAnsiWide(const std::string& text) {
        WideString w = FromAnsi(text);
        return std::wstring(w.begin(), w.end());
    }

    TreeNode* NodeOf(HTREEITEM item) {
        if (!item) return nullptr;
        TVITEMW tv{};
        tv.mask = TVIF_PARAM | TVIF_HANDLE;
        tv.hItem = item;
        if (!SendMessageW(hwnd_, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv))) return nullptr;
        return reinterpret_cast<TreeNode*>(tv.lParam);
    }

    TVHITTESTINFO HitTest() {
        TVHITTESTINFO hit{};
        DWORD pos = GetMessagePos();
        hit.pt = POINT{static_cast<short>(LOWORD(pos)), static_cast<short>(HIWORD(pos))};
        ScreenToClient(hwnd_, &hit.pt);
        TreeView_HitTest(hwnd_, &hit);
        return hit;
    }

    // A node's check image under the pointer at `lParam`, if it shows one.
    TreeNode* CheckImageAt(LPARAM lParam) {
        TVHITTESTINFO hit{};
        hit.pt = POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        TreeView_HitTest(hwnd_, &hit);
        TreeNode* node = NodeOf(hit.hItem);
        return node && (hit.flags & TVHT_ONITEMSTATEICON) && node->CheckType != ctNone ? node : nullptr;
    }

    // The tree control would move its highlight on a check-image click; the
    // click is taken here instead, so the selection stays where it is.
    // Owner-drawn shell submenus need their messages while the menu is open.
    static LRESULT CALLBACK Subclass(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
        auto* self = reinterpret_cast<Win32TreeView*>(data);
        switch (msg) {
            case WM_LBUTTONDOWN:
            case WM_LBUTTONDBLCLK:
                if (TreeNode* node = self->CheckImageAt(lParam)) {
                    ::SetFocus(hwnd);
                    self->pressed_ = node;
                    return 0;
                }
                break;
            case WM_LBUTTONUP:
                if (self->pressed_) {
                    TreeNode* node = self->CheckImageAt(lParam);
                    bool same = node == self->pressed_;
                    self->pressed_ = nullptr;
                    if (same) gui::App().DispatchAction(&self->tree_, [&] { self->tree_.ClickCheck(node); });
                    return 0;
                }
                break;
            case WM_SYSKEYDOWN:
            case WM_KEYDOWN:
                // Shift+F10 and the Menu key: the selected node's menu. Taken
                // here, as not every system makes WM_CONTEXTMENU of them.
                if ((wParam == VK_F10 && GetKeyState(VK_SHIFT) < 0) || wParam == VK_APPS) {
                    gui::App().DispatchAction(&self->tree_, [&] { self->tree_.KeyboardContextMenu(); });
                    return 0;
                }
                break;
            case WM_KEYUP:
            case WM_SYSKEYUP:
                if (wParam == VK_APPS || wParam == VK_F10) return 0;
                break;
            case WM_CONTEXTMENU:
                if (lParam == -1) {
                    gui::App().DispatchAction(&self->tree_, [&] { self->tree_.KeyboardContextMenu(); });
                    return 0;
                }
                break;
            case WM_DPICHANGED_AFTERPARENT: self->Rescale(); break;
            case WM_INITMENUPOPUP:
            case WM_DRAWITEM:
            case WM_MEASUREITEM:
            case WM_MENUCHAR:
                if (self->tracking_) {
                    std::intptr_t result = 0;
                    if (self->tracking_->HandleMenuMessage(msg, wParam, lParam, result)) return result;
                }
                break;
            default: break;
        }
        return DefSubclassProc(hwnd, msg, wParam, lParam);
    }

    TVirtualExplorerTree& tree_;
    HWND hwnd_;
    bool quiet_ = false;  // changes the model makes itself: no notifications back
    int updates_ = 0;
    ShellContextMenu* tracking_ = nullptr;
    TreeNode* pressed_ = nullptr;  // the check image the left button went down on
};

}  // namespace

std::unique_ptr<TreeView> MakeDefaultView(TVirtualExplorerTree&) { return nullptr; }

void* CreateNativeView(TVirtualExplorerTree& tree, void* parentWindow, int id) {
    // TVS_NONEVENHEIGHT: rows of 17 pixels, not rounded to an even height.
    DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_GROUP | WS_CLIPSIBLINGS | TVS_HASBUTTONS | TVS_HASLINES |
                  TVS_LINESATROOT | TVS_SHOWSELALWAYS | TVS_NONEVENHEIGHT;
    HWND hwnd = CreateWindowExW(tree.borderSingle ? WS_EX_CLIENTEDGE : 0, WC_TREEVIEWW, L"", style, 0, 0, 10, 10,
                                static_cast<HWND>(parentWindow), reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                GetModuleHandleW(nullptr), nullptr);
    if (!hwnd) return nullptr;
    tree.SetView(std::make_unique<Win32TreeView>(tree, hwnd));
    return hwnd;
}

}  // namespace shelltree
