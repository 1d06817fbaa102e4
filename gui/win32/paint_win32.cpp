// Painting of the controls the backend draws itself: images, panels,
// bevels, the check list's items, and the colours of labels and memos.

#include <windows.h>
// after windows.h
#include <commctrl.h>

#include "gui/win32/backend_internal.h"
#include "gui/win32/dpi.h"

namespace gui::win32 {
namespace {

RECT Scaled(const Rect& b, UINT dpi) {
    return RECT{Scale(b.left, dpi), Scale(b.top, dpi), Scale(b.left + b.width, dpi), Scale(b.top + b.height, dpi)};
}

void DrawBevels(const Control& parent, HDC dc, UINT dpi) {
    for (const Control* c : parent.children()) {
        if (c->kind() != Kind::Bevel || !c->Visible()) continue;
        RECT r = Scaled(c->bounds(), dpi);
        DrawEdge(dc, &r, EDGE_ETCHED, BF_RECT);
    }
}

}  // namespace

LRESULT CALLBACK ImageProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg != WM_PAINT) return DefWindowProcA(hwnd, msg, wParam, lParam);
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT r;
    GetClientRect(hwnd, &r);
    FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
    if (auto* image = static_cast<Image*>(ControlOf(hwnd))) {
        int w = image->stretch ? r.right : Scale(32, DpiOf(hwnd));
        int h = image->stretch ? r.bottom : w;
        // The icon at the size drawn, not a small one stretched.
        tarsio::UniqueIcon icon(static_cast<HICON>(
            LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(image->iconResource), IMAGE_ICON, w, h, 0)));
        if (icon) DrawIconEx(dc, 0, 0, icon.get(), w, h, 0, nullptr, DI_NORMAL);
    }
    EndPaint(hwnd, &ps);
    return 0;
}

bool HasBevels(const Control& parent) {
    for (const Control* c : parent.children())
        if (c->kind() == Kind::Bevel && c->Visible()) return true;
    return false;
}

void PaintBevels(HWND hwnd, const Control& parent, UINT dpi) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    DrawBevels(parent, dc, dpi);
    EndPaint(hwnd, &ps);
}

void PaintPanel(HWND hwnd, Panel& panel, HFONT font, UINT dpi) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT r;
    GetClientRect(hwnd, &r);
    FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
    auto edge = [&](Panel::Bevel bevel) {
        if (bevel == Panel::Bevel::None) return;
        DrawEdge(dc, &r, bevel == Panel::Bevel::Raised ? BDR_RAISEDINNER : BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
    };
    edge(panel.bevelOuter);
    edge(panel.bevelInner);
    DrawBevels(panel, dc, dpi);
    HGDIOBJ old = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    DrawTextA(dc, panel.Text().c_str(), -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, old);
    EndPaint(hwnd, &ps);
}

void DrawCheckListItem(CheckListBox& list, const DRAWITEMSTRUCT& draw) {
    RECT r = draw.rcItem;
    FillRect(draw.hDC, &r, GetSysColorBrush(COLOR_WINDOW));
    if (draw.itemID == static_cast<UINT>(-1) || draw.itemID >= list.Items().size()) return;
    const auto& item = list.Items()[draw.itemID];
    int box = r.bottom - r.top;
    RECT check{r.left + 1, r.top, r.left + 1 + box, r.bottom};
    DrawFrameControl(draw.hDC, &check, DFC_BUTTON, DFCS_BUTTONCHECK | DFCS_FLAT | (item.checked ? DFCS_CHECKED : 0));
    RECT text{check.right + 2, r.top, r.right, r.bottom};
    bool selected = draw.itemState & ODS_SELECTED;
    FillRect(draw.hDC, &text, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    SetBkMode(draw.hDC, TRANSPARENT);
    SetTextColor(draw.hDC, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    DrawTextA(draw.hDC, item.text.c_str(), -1, &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    if (draw.itemState & ODS_FOCUS) DrawFocusRect(draw.hDC, &text);
}

bool ControlColors(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    Control* c = ControlOf(reinterpret_cast<HWND>(lParam));
    auto dc = reinterpret_cast<HDC>(wParam);
    if (msg == WM_CTLCOLOREDIT && !(c && c->kind() == Kind::Memo && c->color == clBtnFace)) return false;
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    SetTextColor(dc, GetSysColor(c && !c->Enabled() ? COLOR_GRAYTEXT : COLOR_WINDOWTEXT));
    result = reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    return true;
}

}  // namespace gui::win32
