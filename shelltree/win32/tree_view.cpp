// The folder trees on the TreeView common control.

#include <windows.h>
// after windows.h
#include <commctrl.h>
#include <shellapi.h>

#include "gui/application.h"
#include "shelltree/explorer_tree.h"

namespace shelltree {
namespace {

constexpr int kButtonImage = 1;  // state image index of the check button

// A 16 x 16 push-button image for nodes whose CheckType is the button.
HIMAGELIST ButtonImages() {
    static HIMAGELIST images = [] {
        HIMAGELIST list = ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, 2, 0);
        HDC screen = GetDC(nullptr);
        HDC dc = CreateCompatibleDC(screen);
        for (int i = 0; i < 2; ++i) {
            HBITMAP bitmap = CreateCompatibleBitmap(screen, 16, 16);
            HGDIOBJ old = SelectObject(dc, bitmap);
            RECT all{0, 0, 16, 16};
            HBRUSH magenta = CreateSolidBrush(RGB(255, 0, 255));
            FillRect(dc, &all, magenta);
            DeleteObject(magenta);
            if (i == kButtonImage) {
                RECT button{2, 2, 14, 14};
                DrawFrameControl(dc, &button, DFC_BUTTON, DFCS_BUTTONPUSH);
            }
            SelectObject(dc, old);
            ImageList_AddMasked(list, bitmap, RGB(255, 0, 255));
            DeleteObject(bitmap);
        }
        DeleteDC(dc);
        ReleaseDC(nullptr, screen);
        return list;
    }();
    return images;
}

COLORREF ToColorRef(gui::Color c) { return c == gui::clBtnFace ? GetSysColor(COLOR_BTNFACE) : c; }

class Win32TreeView : public TreeView {
public:
    Win32TreeView(TVirtualExplorerTree& tree, HWND hwnd) : tree_(tree), hwnd_(hwnd) {
        SHFILEINFOW info{};
        auto system = reinterpret_cast<HIMAGELIST>(
            SHGetFileInfoW(L"C:\\", 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
        if (system) TreeView_SetImageList(hwnd_, system, TVSIL_NORMAL);
        TreeView_SetImageList(hwnd_, ButtonImages(), TVSIL_STATE);
        TreeView_SetItemHeight(hwnd_, tree.DefaultNodeHeight);
        SetWindowSubclass(hwnd_, MenuForwarder, 1, reinterpret_cast<DWORD_PTR>(this));
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
        item.iImage = item.iSelectedImage = node.ns->IconIndex();
        item.state = StateOf(node);
        item.stateMask = TVIS_STATEIMAGEMASK;
        Guard g(quiet_);
        node.item = reinterpret_cast<HTREEITEM>(SendMessageW(hwnd_, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
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

    int TrackPopup(HMENU menu, ShellContextMenu& shellMenu) override {
        POINT at;
        GetCursorPos(&at);
        tracking_ = &shellMenu;
        int chosen = static_cast<int>(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, hwnd_, nullptr));
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
                    gui::App().Dispatch([&] { expanded = tree_.UserExpanding(node); });
                    result = expanded ? FALSE : TRUE;
                } else if (tv->action & TVE_COLLAPSE) {
                    node->expanded = false;
                    result = FALSE;
                }
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
            case NM_CLICK: {
                TVHITTESTINFO hit = HitTest();
                TreeNode* node = NodeOf(hit.hItem);
                if (node && (hit.flags & TVHT_ONITEMSTATEICON)) {
                    gui::App().Dispatch([&] { tree_.ClickCheck(node); });
                    result = TRUE;
                    return true;
                }
                // The click selects on the button's release; let it, then report.
                if (node && (hit.flags & TVHT_ONITEM)) {
                    Guard g(quiet_);
                    TreeView_SelectItem(hwnd_, hit.hItem);
                    tree_.SelectNode(node);
                }
                gui::App().Dispatch([&] {
                    if (tree_.OnClick) tree_.OnClick();
                });
                result = FALSE;
                return true;
            }
            case NM_RCLICK: {
                TVHITTESTINFO hit = HitTest();
                TreeNode* node = NodeOf(hit.hItem);
                if (node && (hit.flags & TVHT_ONITEM)) gui::App().Dispatch([&] { tree_.RightClickNode(node); });
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

    // Owner-drawn shell submenus need their messages while the menu is open.
    static LRESULT CALLBACK MenuForwarder(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
        auto* self = reinterpret_cast<Win32TreeView*>(data);
        if (self->tracking_ && (msg == WM_INITMENUPOPUP || msg == WM_DRAWITEM || msg == WM_MEASUREITEM ||
                                msg == WM_MENUCHAR)) {
            std::intptr_t result = 0;
            if (self->tracking_->HandleMenuMessage(msg, wParam, lParam, result)) return result;
        }
        return DefSubclassProc(hwnd, msg, wParam, lParam);
    }

    TVirtualExplorerTree& tree_;
    HWND hwnd_;
    bool quiet_ = false;  // changes the model makes itself: no notifications back
    int updates_ = 0;
    ShellContextMenu* tracking_ = nullptr;
};

}  // namespace

std::unique_ptr<TreeView> MakeDefaultView(TVirtualExplorerTree&) { return nullptr; }

void* CreateNativeView(TVirtualExplorerTree& tree, void* parentWindow, int id) {
    DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT |
                  TVS_SHOWSELALWAYS;
    HWND hwnd = CreateWindowExW(tree.borderSingle ? WS_EX_CLIENTEDGE : 0, WC_TREEVIEWW, L"", style, 0, 0, 10, 10,
                                static_cast<HWND>(parentWindow), reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                GetModuleHandleW(nullptr), nullptr);
    if (!hwnd) return nullptr;
    tree.SetView(std::make_unique<Win32TreeView>(tree, hwnd));
    return hwnd;
}

}  // namespace shelltree
