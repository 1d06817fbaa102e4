// Controls and menus: making the native windows of a form's controls,
// placing them at the window's DPI, and mirroring state changes onto them.

#include <windows.h>
// after windows.h
#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "gui/application.h"
#include "gui/win32/backend_internal.h"
#include "gui/win32/dpi.h"

namespace gui::win32 {
namespace {

// Check list boxes toggle an item on a click in its check area or on Space.
LRESULT CALLBACK CheckListProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    auto* list = static_cast<CheckListBox*>(ControlOf(hwnd));
    if (msg == WM_LBUTTONDOWN && list) {
        LRESULT hit = SendMessageA(hwnd, LB_ITEMFROMPOINT, 0, lParam);
        if (!HIWORD(hit) && GET_X_LPARAM(lParam) < Scale(list->itemHeight + 2, DpiOf(hwnd)))
            App().Dispatch([&] { list->UserToggled(LOWORD(hit)); });
    } else if (msg == WM_KEYDOWN && wParam == VK_SPACE && list) {
        LRESULT current = SendMessageA(hwnd, LB_GETCURSEL, 0, 0);
        if (current != LB_ERR) App().Dispatch([&] { list->UserToggled(static_cast<std::size_t>(current)); });
        return 0;
    }
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

// "Ctrl+O", "F1": an accelerator entry; false for keys the system handles.
bool ParseShortCut(const std::string& text, ACCEL& accel) {
    accel = ACCEL{FVIRTKEY, 0, 0};
    std::string key = text;
    if (key.rfind("Ctrl+", 0) == 0) {
        accel.fVirt |= FCONTROL;
        key = key.substr(5);
    } else if (key.rfind("Alt+", 0) == 0) {
        return false;
    }
    if (key.size() == 1) {
        accel.key = static_cast<WORD>(key[0]);
        return true;
    }
    if (key.size() >= 2 && key[0] == 'F') {
        accel.key = static_cast<WORD>(VK_F1 + std::atoi(key.c_str() + 1) - 1);
        return true;
    }
    return false;
}

// The letter after the single '&' of a caption, 0 for none.
char Mnemonic(const std::string& caption) {
    for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != '&') continue;
        if (caption[i + 1] != '&') return static_cast<char>(std::toupper(static_cast<unsigned char>(caption[i + 1])));
        ++i;
    }
    return 0;
}

}  // namespace

void Win32Backend::CreateChildren(Form& form, Control& parent, HWND parentWindow) {
    for (Control* c : parent.children()) {
        if (c->kind() == Kind::TabSheet) continue;
        CreateControl(form, *c, parentWindow);
    }
    OrderForTabbing(parent);
}

// The dialog manager moves the focus in the windows' Z order: the children
// are ordered by their tab order, each page control followed by its pages.
// Overlapping controls keep their order where the tab order agrees; a panel
// laid over others comes to the top when it is shown (Changed).
void Win32Backend::OrderForTabbing(const Control& parent) {
    std::vector<Control*> children = parent.children();
    std::stable_sort(children.begin(), children.end(),
                     [](const Control* a, const Control* b) { return a->tabOrder < b->tabOrder; });
    HWND after = HWND_TOP;
    auto place = [&](Control& c) {
        HWND hwnd = HwndOf(c);
        if (!hwnd || c.kind() == Kind::Bevel) return;
        SetWindowPos(hwnd, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        after = hwnd;
    };
    for (Control* c : children) {
        if (c->kind() == Kind::TabSheet) continue;
        place(*c);
        if (c->kind() == Kind::PageControl)
            for (TabSheet* page : static_cast<PageControl*>(c)->Pages()) place(*page);
    }
}

HWND Win32Backend::CreateControl(Form& form, Control& c, HWND parentWindow) {
    FormState& state = states_[&form];
    HINSTANCE instance = GetModuleHandleA(nullptr);
    DWORD style = WS_CHILD | (c.Visible() ? WS_VISIBLE : 0) | WS_CLIPSIBLINGS;
    DWORD exStyle = 0;
    const char* cls = nullptr;
    int id = state.nextId++;
    // Each control that takes the focus is a group of its own: the arrow
    // keys stay with the control, Tab moves on.
    const DWORD tabStop = WS_TABSTOP | WS_GROUP;

    switch (c.kind()) {
        case Kind::Label:
            cls = "STATIC";
            style |= SS_NOPREFIX | (static_cast<Label&>(c).wordWrap ? SS_LEFT : SS_LEFTNOWORDWRAP);
            break;
        case Kind::StaticText:
            cls = "STATIC";
            style |= SS_LEFTNOWORDWRAP | SS_NOPREFIX;
            break;
        case Kind::Edit:
            cls = "EDIT";
            style |= tabStop | ES_AUTOHSCROLL;
            exStyle |= WS_EX_CLIENTEDGE;
            break;
        case Kind::Memo: {
            auto& memo = static_cast<Memo&>(c);
            cls = "EDIT";
            style |= tabStop | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN;
            if (memo.verticalScrollBar) style |= WS_VSCROLL;
            if (memo.border) exStyle |= WS_EX_CLIENTEDGE;
            break;
        }
        case Kind::Button: {
            auto& button = static_cast<Button&>(c);
            cls = "BUTTON";
            style |= tabStop | (button.isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
            // The dialog manager presses IDCANCEL on Escape.
            if (button.isCancel) id = IDCANCEL;
            break;
        }
        case Kind::Panel:
            cls = kPanelClass;
            exStyle |= WS_EX_CONTROLPARENT;
            break;
        case Kind::Bevel:
            // Drawn by the parent: a frame window would leave its inside unpainted.
            c.native = parentWindow;
            return nullptr;
        case Kind::Image: cls = kImageClass; break;
        case Kind::CheckListBox:
            cls = "LISTBOX";
            style |= tabStop | WS_VSCROLL | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;
            exStyle |= WS_EX_CLIENTEDGE;
            break;
        case Kind::PageControl:
            cls = WC_TABCONTROLA;
            style |= tabStop;
            break;
        case Kind::Custom: {
            auto hwnd = static_cast<HWND>(c.CreateCustomWindow(parentWindow, id));
            if (!hwnd) return nullptr;
            Attach(hwnd, c);
            PlaceControl(form, c);
            SendMessageA(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(state.font.get()), FALSE);
            c.NativeCreated();
            return hwnd;
        }
        case Kind::Form:
        case Kind::TabSheet: return nullptr;
    }
    std::string text = c.kind() == Kind::CheckListBox ? std::string() : c.Text();
    HWND hwnd = CreateWindowExA(exStyle, cls, text.c_str(), style, 0, 0, 0, 0, parentWindow,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    Attach(hwnd, c);
    SendMessageA(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(state.font.get()), FALSE);
    PlaceControl(form, c);
    if (!c.Enabled()) EnableWindow(hwnd, FALSE);

    switch (c.kind()) {
        case Kind::Button:
            if (static_cast<Button&>(c).isDefault) {
                HWND formWindow = HwndOf(form);
                SendMessageA(formWindow, DM_SETDEFID, static_cast<WPARAM>(id), 0);
            }
            break;
        case Kind::CheckListBox:
            SetWindowSubclass(hwnd, CheckListProc, 1, 0);
            Changed(c, Change::Items);
            break;
        case Kind::Panel: CreateChildren(form, c, hwnd); break;
        case Kind::PageControl: {
            auto& pages = static_cast<PageControl&>(c);
            int index = 0;
            for (TabSheet* page : pages.Pages()) {
                TCITEMA item{};
                item.mask = TCIF_TEXT;
                std::string caption = page->Text();
                item.pszText = caption.data();
                SendMessageA(hwnd, TCM_INSERTITEMA, static_cast<WPARAM>(index++), reinterpret_cast<LPARAM>(&item));
            }
            // The pages are siblings of the tab control, laid over its display area.
            for (TabSheet* page : pages.Pages()) {
                HWND sheet = CreateWindowExA(WS_EX_CONTROLPARENT, kPanelClass, "", WS_CHILD | WS_CLIPSIBLINGS, 0, 0,
                                             0, 0, parentWindow, nullptr, instance, nullptr);
                Attach(sheet, *page);
                CreateChildren(form, *page, sheet);
            }
            if (!pages.ActivePage() && !pages.Pages().empty()) pages.SetActivePage(pages.Pages().front());
            LayoutPages(pages);
            break;
        }
        default: break;
    }
    c.NativeCreated();
    return hwnd;
}

// A control at its 96-dpi bounds scaled to the form's DPI.
void Win32Backend::PlaceControl(Form& form, Control& c) {
    HWND hwnd = HwndOf(c);
    if (!hwnd || c.kind() == Kind::Bevel || c.kind() == Kind::TabSheet) return;
    UINT dpi = states_[&form].dpi;
    Rect b = c.bounds();
    SetWindowPos(hwnd, nullptr, Scale(b.left, dpi), Scale(b.top, dpi), Scale(b.width, dpi), Scale(b.height, dpi),
                 SWP_NOZORDER | SWP_NOACTIVATE);
    if (c.kind() == Kind::Label || c.kind() == Kind::StaticText) SizeText(c);
    if (c.kind() == Kind::CheckListBox)
        SendMessageA(hwnd, LB_SETITEMHEIGHT, 0, Scale(static_cast<CheckListBox&>(c).itemHeight, dpi));
}

// After a DPI change: the font, then every control at the new scale.
void Win32Backend::Rescale(Form& form, Control& parent) {
    HFONT font = states_[&form].font.get();
    for (Control* c : parent.children()) {
        if (HWND hwnd = HwndOf(*c); hwnd && c->kind() != Kind::Bevel && c->kind() != Kind::TabSheet) {
            SendMessageA(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
            PlaceControl(form, *c);
            if (c->kind() == Kind::Custom) SendMessageA(hwnd, WM_DPICHANGED_AFTERPARENT, 0, 0);
        }
        Rescale(form, *c);
        if (c->kind() == Kind::PageControl) LayoutPages(static_cast<PageControl&>(*c));
    }
}

void Win32Backend::LayoutPages(PageControl& pages) {
    HWND tab = HwndOf(pages);
    RECT display;
    GetClientRect(tab, &display);
    TabCtrl_AdjustRect(tab, FALSE, &display);
    MapWindowPoints(tab, GetParent(tab), reinterpret_cast<POINT*>(&display), 2);
    int index = 0, selected = -1;
    for (TabSheet* page : pages.Pages()) {
        HWND sheet = HwndOf(*page);
        bool active = page == pages.ActivePage();
        if (active) selected = index;
        SetWindowPos(sheet, nullptr, display.left, display.top, display.right - display.left,
                     display.bottom - display.top,
                     SWP_NOZORDER | SWP_NOACTIVATE | (active && pages.Visible() ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
        ++index;
    }
    if (selected >= 0) SendMessageA(tab, TCM_SETCURSEL, static_cast<WPARAM>(selected), 0);
    // The tab control comes before its pages in tab order, so it lies above
    // them: it is cut to its tabs and frame, and the page shows through.
    RECT inner, whole;
    GetClientRect(tab, &whole);
    inner = whole;
    TabCtrl_AdjustRect(tab, FALSE, &inner);
    tarsio::UniqueRegion region(CreateRectRgnIndirect(&whole));
    tarsio::UniqueRegion page(CreateRectRgnIndirect(&inner));
    if (!region || !page) return;
    CombineRgn(region.get(), region.get(), page.get(), RGN_DIFF);
    if (SetWindowRgn(tab, region.get(), TRUE)) region.release();  // the window owns it now
}

// Labels without a width are as wide as their text; static texts keep their
// size unless their text needs more, so nothing is cut in a wider font.
void Win32Backend::SizeText(Control& c) {
    HWND hwnd = HwndOf(c);
    RECT text{0, 0, 0, 0};
    {
        tarsio::WindowDC dc(hwnd);
        HGDIOBJ old = SelectObject(dc.get(), reinterpret_cast<HFONT>(SendMessageA(hwnd, WM_GETFONT, 0, 0)));
        std::string caption = c.Text().empty() ? " " : c.Text();
        DrawTextA(dc.get(), caption.c_str(), -1, &text, DT_CALCRECT | DT_NOPREFIX | DT_SINGLELINE);
        SelectObject(dc.get(), old);
    }
    RECT now;
    GetClientRect(hwnd, &now);
    bool fit = c.kind() == Kind::Label && static_cast<Label&>(c).autoSize();
    int width = fit ? text.right : std::max(now.right, text.right);
    int height = fit ? text.bottom : std::max(now.bottom, text.bottom);
    SetWindowPos(hwnd, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Alt and a page's mnemonic selects that page, as a click on its tab does.
bool Win32Backend::PageMnemonic(Control& parent, char key) {
    key = static_cast<char>(std::toupper(static_cast<unsigned char>(key)));
    for (Control* c : parent.children()) {
        if (!c->Visible() || !c->Enabled()) continue;
        if (c->kind() == Kind::PageControl) {
            auto& pages = static_cast<PageControl&>(*c);
            for (TabSheet* page : pages.Pages()) {
                if (Mnemonic(page->Text()) != key) continue;
                App().Dispatch([&] { pages.UserSelectedPage(page); });
                LayoutPages(pages);
                ::SetFocus(HwndOf(pages));
                return true;
            }
        }
        if (PageMnemonic(*c, key)) return true;
    }
    return false;
}

void Win32Backend::BuildMenu(Form& form, HWND hwnd) {
    // The bar owns its popups once appended, the window its bar once set.
    FormState& state = states_[&form];
    tarsio::UniqueMenu bar(CreateMenu());
    form.menu->native = bar.get();
    std::vector<ACCEL> accelerators;
    for (auto& top : form.menu->Items()) {
        tarsio::UniqueMenu popup(CreatePopupMenu());
        for (auto& entry : top->Items()) {
            entry->native = popup.get();
            MENUITEMINFOA info{};
            info.cbSize = sizeof info;
            std::string caption = entry->Caption();
            if (entry->separator) {
                info.fMask = MIIM_FTYPE;
                info.fType = MFT_SEPARATOR;
            } else {
                if (!entry->shortCut.empty()) caption += "\t" + entry->shortCut;
                info.fMask = MIIM_STRING | MIIM_ID | MIIM_STATE;
                info.dwTypeData = caption.data();
                info.wID = static_cast<UINT>(entry->command);
                info.fState = (entry->Enabled() ? MFS_ENABLED : MFS_GRAYED) | (entry->Checked() ? MFS_CHECKED : 0);
                if (entry->image >= 0) {
                    info.fMask |= MIIM_BITMAP;
                    state.menuImages.emplace_back(
                        LoadBitmapA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(entry->image)));
                    info.hbmpItem = state.menuImages.back().get();
                }
                ACCEL accel;
                if (ParseShortCut(entry->shortCut, accel)) {
                    accel.cmd = static_cast<WORD>(entry->command);
                    accelerators.push_back(accel);
                }
            }
            InsertMenuItemA(popup.get(), GetMenuItemCount(popup.get()), TRUE, &info);
        }
        // Images in the check-mark column: the entries' texts and shortcuts
        // keep their columns (Wine lets a shortcut overlap the text otherwise).
        MENUINFO style{};
        style.cbSize = sizeof style;
        style.fMask = MIM_STYLE;
        style.dwStyle = MNS_CHECKORBMP;
        SetMenuInfo(popup.get(), &style);
        top->native = bar.get();
        if (AppendMenuA(bar.get(), MF_POPUP | MF_STRING | (top->Enabled() ? 0 : MF_GRAYED),
                        reinterpret_cast<UINT_PTR>(popup.get()), top->Caption().c_str()))
            popup.release();
    }
    if (SetMenu(hwnd, bar.get())) bar.release();
    if (!accelerators.empty())
        state.accelerators.reset(CreateAcceleratorTableA(accelerators.data(), static_cast<int>(accelerators.size())));
}

void Win32Backend::MenuChanged(MenuItem& item) {
    auto menu = static_cast<HMENU>(item.native);
    if (!menu) return;
    MENUITEMINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STATE;
    info.fState = (item.Enabled() ? MFS_ENABLED : MFS_GRAYED) | (item.Checked() ? MFS_CHECKED : 0);
    if (item.command) {
        SetMenuItemInfoA(menu, static_cast<UINT>(item.command), FALSE, &info);
    } else if (item.owner && item.owner->menu) {
        auto& tops = item.owner->menu->Items();
        for (std::size_t i = 0; i < tops.size(); ++i)
            if (tops[i].get() == &item) SetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &info);
    }
    if (item.owner) DrawMenuBar(HwndOf(*item.owner));
}

void Win32Backend::Changed(Control& control, Change change) {
    HWND hwnd = HwndOf(control);
    if (!hwnd) return;
    if (control.kind() == Kind::Bevel) {
        InvalidateRect(hwnd, nullptr, TRUE);
        return;
    }
    switch (change) {
        case Change::Text:
            syncing_ = true;
            SetWindowTextA(hwnd, control.Text().c_str());
            syncing_ = false;
            if (control.kind() == Kind::Label || control.kind() == Kind::StaticText) SizeText(control);
            if (control.kind() == Kind::Panel) InvalidateRect(hwnd, nullptr, TRUE);
            break;
        case Change::Enabled: EnableWindow(hwnd, control.Enabled()); break;
        case Change::Visible:
            if (control.kind() == Kind::Form) {
                ShowForm(static_cast<Form&>(control), control.Visible());
            } else {
                // A panel shown over other controls (the export's wait panel) lies on top.
                UINT order = control.kind() == Kind::Panel && control.Visible() ? 0 : SWP_NOZORDER;
                SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0,
                             SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | order |
                                 (control.Visible() ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
            }
            break;
        case Change::Items: {
            auto& list = static_cast<CheckListBox&>(control);
            LRESULT current = SendMessageA(hwnd, LB_GETCURSEL, 0, 0);
            SendMessageA(hwnd, LB_RESETCONTENT, 0, 0);
            for (const auto& item : list.Items())
                SendMessageA(hwnd, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.text.c_str()));
            if (current != LB_ERR) SendMessageA(hwnd, LB_SETCURSEL, static_cast<WPARAM>(current), 0);
            break;
        }
        case Change::Page: LayoutPages(static_cast<PageControl&>(control)); break;
        case Change::Caret: {
            int pos = static_cast<Memo&>(control).SelStart();
            SendMessageA(hwnd, EM_SETSEL, static_cast<WPARAM>(pos), pos);
            SendMessageA(hwnd, EM_SCROLLCARET, 0, 0);
            break;
        }
    }
}

}  // namespace gui::win32
