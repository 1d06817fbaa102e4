#include "gui/win32/backend_win32.h"

#include <commctrl.h>
#include <commdlg.h>
#include <windowsx.h>
#include <htmlhelp.h>

#include <algorithm>
#include <map>
#include <vector>

#include "gui/application.h"

namespace gui::win32 {
namespace {

constexpr const char* kFormClass = "TarsioForm";
constexpr const char* kPanelClass = "TarsioPanel";
constexpr const char* kImageClass = "TarsioImage";
constexpr int kFirstControlId = 1000;

struct FormState {
    HFONT font = nullptr;
    HACCEL accelerators = nullptr;
    Button* defaultButton = nullptr;
    Button* cancelButton = nullptr;
    int nextId = kFirstControlId;
};

Control* ControlOf(HWND hwnd) {
    return hwnd ? reinterpret_cast<Control*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA)) : nullptr;
}

void Attach(HWND hwnd, Control& control) {
    control.native = hwnd;
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&control));
    SetPropA(hwnd, kNameProperty, reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(GlobalAddAtomA(control.name().c_str()))));
}

std::vector<Control*> InTabOrder(const Control& parent) {
    std::vector<Control*> children = parent.children();
    std::stable_sort(children.begin(), children.end(),
                     [](const Control* a, const Control* b) { return a->tabOrder < b->tabOrder; });
    return children;
}

bool Focusable(Control& c) {
    switch (c.kind()) {
        case Kind::Edit:
        case Kind::Button:
        case Kind::Memo:
        case Kind::CheckListBox:
        case Kind::Custom:
        case Kind::PageControl: return true;
        default: return false;
    }
}

bool ShownAndEnabled(Control& c) {
    for (Control* p = &c; p && p->kind() != Kind::Form; p = p->parent())
        if (!p->Visible() || !p->Enabled()) return false;
    if (c.parent() && c.parent()->kind() == Kind::TabSheet) {
        auto* pages = static_cast<PageControl*>(c.parent()->parent());
        if (pages->ActivePage() != c.parent()) return false;
    }
    return true;
}

void CollectTabStops(Control& parent, std::vector<Control*>& out) {
    for (Control* c : InTabOrder(parent)) {
        if (Focusable(*c) && ShownAndEnabled(*c)) out.push_back(c);
        if (c->kind() == Kind::PageControl) {
            if (TabSheet* page = static_cast<PageControl*>(c)->ActivePage()) CollectTabStops(*page, out);
        } else if (!c->children().empty()) {
            CollectTabStops(*c, out);
        }
    }
}

bool HasBevels(const Control& parent) {
    return std::any_of(parent.children().begin(), parent.children().end(),
                       [](const Control* c) { return c->kind() == Kind::Bevel && c->Visible(); });
}

// The etched frames of the parent's bevels.
void DrawBevels(const Control& parent, HDC dc) {
    for (const Control* c : parent.children()) {
        if (c->kind() != Kind::Bevel || !c->Visible()) continue;
        Rect b = c->bounds();
        RECT r{b.left, b.top, b.left + b.width, b.top + b.height};
        DrawEdge(dc, &r, EDGE_ETCHED, BF_RECT);
    }
}

std::string WindowText(HWND hwnd) {
    int n = GetWindowTextLengthA(hwnd);
    std::string text(static_cast<std::size_t>(n) + 1, '\0');
    n = GetWindowTextA(hwnd, text.data(), n + 1);
    text.resize(static_cast<std::size_t>(n));
    return text;
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

class Win32Backend : public Backend {
public:
    Win32Backend();

    void CreateForm(Form& form) override;
    void Changed(Control& control, Change change) override;
    void MenuChanged(MenuItem& item) override;
    void Repaint(Control& control) override;
    void Focus(Control& control) override;
    void ShowForm(Form& form, bool show) override;
    void BringToFront(Form& form) override;
    void RunModal(Form& form) override;
    int Message(const MessageRequest& request) override;
    bool RunFileDialog(FileDialog& dialog) override;
    bool ShowHelpContents(const std::string& helpFile) override;
    void SetCursor(Cursor cursor) override;
    void Run(Application& app) override;
    void Terminate() override { PostQuitMessage(0); }

    HFONT Font(Form& form) { return states_[&form].font; }
    LRESULT ContainerMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

private:
    void CreateChildren(Form& form, Control& parent, HWND parentWindow, POINT offset);
    HWND CreateControl(Form& form, Control& c, HWND parentWindow, POINT offset);
    void BuildMenu(Form& form, HWND hwnd);
    void LayoutPages(PageControl& pages);
    void SizeLabel(Control& label);
    void PlaceForm(Form& form);
    bool PreTranslate(MSG& msg);
    void MoveFocus(Form& form, bool forward);
    HWND Owner();

    std::map<Form*, FormState> states_;
    bool syncing_ = false;  // our own SetWindowText: no change event from it
    Cursor cursor_ = Cursor::Default;
};

Win32Backend* g_backend = nullptr;
MessageHook g_hook = nullptr;

LRESULT CALLBACK ContainerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return g_backend->ContainerMessage(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK ImageProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT r;
        GetClientRect(hwnd, &r);
        FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
        if (auto* image = static_cast<Image*>(ControlOf(hwnd))) {
            HICON icon = static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(image->iconResource),
                                                       IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
            int w = image->stretch ? r.right : 0, h = image->stretch ? r.bottom : 0;
            if (icon) DrawIconEx(dc, 0, 0, icon, w, h, 0, nullptr, DI_NORMAL);
            if (icon) DestroyIcon(icon);
        }
        EndPaint(hwnd, &ps);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// Check list boxes toggle an item on a click in its check area or on Space.
LRESULT CALLBACK CheckListProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    auto* list = static_cast<CheckListBox*>(ControlOf(hwnd));
    if (msg == WM_LBUTTONDOWN && list) {
        LRESULT hit = SendMessageA(hwnd, LB_ITEMFROMPOINT, 0, lParam);
        if (!HIWORD(hit) && GET_X_LPARAM(lParam) < list->itemHeight + 2)
            App().Dispatch([&] { list->UserToggled(LOWORD(hit)); });
    } else if (msg == WM_KEYDOWN && wParam == VK_SPACE && list) {
        LRESULT current = SendMessageA(hwnd, LB_GETCURSEL, 0, 0);
        if (current != LB_ERR) App().Dispatch([&] { list->UserToggled(static_cast<std::size_t>(current)); });
        return 0;
    }
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

Win32Backend::Win32Backend() {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_TAB_CLASSES | ICC_TREEVIEW_CLASSES};
    InitCommonControlsEx(&icc);
    WNDCLASSA wc{};
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpfnWndProc = ContainerProc;
    wc.hIcon = LoadIconA(wc.hInstance, MAKEINTRESOURCEA(1));
    wc.lpszClassName = kFormClass;
    RegisterClassA(&wc);
    wc.hIcon = nullptr;
    wc.lpszClassName = kPanelClass;
    RegisterClassA(&wc);
    wc.lpfnWndProc = ImageProc;
    wc.lpszClassName = kImageClass;
    RegisterClassA(&wc);
}

HWND Win32Backend::Owner() {
    HWND active = GetActiveWindow();
    if (active) return active;
    Form* main = App().mainForm();
    return main && main->Visible() ? HwndOf(*main) : nullptr;
}

void Win32Backend::CreateForm(Form& form) {
    FormState& state = states_[&form];
    std::string face = form.fontName.empty() ? "MS Sans Serif" : form.fontName;
    int height = form.fontHeight ? form.fontHeight : -11;
    state.font = CreateFontA(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face.c_str());

    DWORD style = WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    DWORD exStyle = WS_EX_CONTROLPARENT;
    switch (form.borderStyle) {
        case BorderStyle::Single: style |= WS_BORDER; break;
        case BorderStyle::Dialog: exStyle |= WS_EX_DLGMODALFRAME; break;
        case BorderStyle::Sizeable: style |= WS_THICKFRAME; break;
    }
    if (form.minimizeBox) style |= WS_MINIMIZEBOX;
    HWND hwnd = CreateWindowExA(exStyle, kFormClass, form.Text().c_str(), style, form.left, form.top, 100, 100,
                                nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    Attach(hwnd, form);
    if (form.menu) BuildMenu(form, hwnd);
    PlaceForm(form);
    CreateChildren(form, form, hwnd, POINT{0, 0});
    form.NativeCreated();
}

void Win32Backend::PlaceForm(Form& form) {
    HWND hwnd = HwndOf(form);
    int width = form.outerWidth, height = form.outerHeight;
    if (!width) {
        RECT r{0, 0, form.clientWidth, form.clientHeight};
        AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongA(hwnd, GWL_STYLE)), GetMenu(hwnd) != nullptr,
                           static_cast<DWORD>(GetWindowLongA(hwnd, GWL_EXSTYLE)));
        width = r.right - r.left;
        height = r.bottom - r.top;
    }
    int x = form.left, y = form.top;
    if (form.centered) {
        x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
        y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    }
    SetWindowPos(hwnd, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Backend::CreateChildren(Form& form, Control& parent, HWND parentWindow, POINT offset) {
    // Declaration order is drawing order: a later control lies on top.
    for (Control* c : parent.children()) {
        if (c->kind() == Kind::TabSheet) continue;
        HWND hwnd = CreateControl(form, *c, parentWindow, offset);
        if (hwnd) SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        if (c->kind() == Kind::PageControl) LayoutPages(static_cast<PageControl&>(*c));  // pages over the tabs
    }
}

HWND Win32Backend::CreateControl(Form& form, Control& c, HWND parentWindow, POINT offset) {
    FormState& state = states_[&form];
    HINSTANCE instance = GetModuleHandleA(nullptr);
    Rect b = c.bounds();
    int x = b.left + offset.x, y = b.top + offset.y;
    DWORD visible = c.Visible() ? WS_VISIBLE : 0;
    DWORD style = WS_CHILD | visible | WS_CLIPSIBLINGS;
    DWORD exStyle = 0;
    const char* cls = nullptr;
    int id = state.nextId++;

    switch (c.kind()) {
        case Kind::Label:
            cls = "STATIC";
            style |= SS_NOPREFIX | (static_cast<Label&>(c).wordWrap ? SS_LEFT : SS_LEFTNOWORDWRAP);
            break;
        case Kind::StaticText: cls = "STATIC"; style |= SS_LEFT | SS_NOPREFIX; break;
        case Kind::Edit:
            cls = "EDIT";
            style |= WS_TABSTOP | ES_AUTOHSCROLL;
            exStyle |= WS_EX_CLIENTEDGE;
            break;
        case Kind::Memo: {
            auto& memo = static_cast<Memo&>(c);
            cls = "EDIT";
            style |= WS_TABSTOP | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN;
            if (memo.verticalScrollBar) style |= WS_VSCROLL;
            if (memo.border) exStyle |= WS_EX_CLIENTEDGE;
            break;
        }
        case Kind::Button: {
            auto& button = static_cast<Button&>(c);
            cls = "BUTTON";
            style |= WS_TABSTOP | (button.isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
            if (button.isDefault) state.defaultButton = &button;
            if (button.isCancel) {
                state.cancelButton = &button;
                id = IDCANCEL;
            }
            break;
        }
        case Kind::Panel: cls = kPanelClass; exStyle |= WS_EX_CONTROLPARENT; break;
        case Kind::Bevel:
            // Drawn by the parent: a frame window would leave its inside unpainted.
            c.native = parentWindow;
            return nullptr;
        case Kind::Image: cls = kImageClass; break;
        case Kind::CheckListBox:
            cls = "LISTBOX";
            style |= WS_TABSTOP | WS_VSCROLL | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;
            exStyle |= WS_EX_CLIENTEDGE;
            break;
        case Kind::PageControl: cls = WC_TABCONTROLA; style |= WS_TABSTOP; break;
        case Kind::Custom: {
            auto hwnd = static_cast<HWND>(c.CreateCustomWindow(parentWindow, id));
            if (!hwnd) return nullptr;
            Attach(hwnd, c);
            SetWindowPos(hwnd, nullptr, x, y, b.width, b.height, SWP_NOZORDER | SWP_NOACTIVATE);
            SendMessageA(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(state.font), FALSE);
            c.NativeCreated();
            return hwnd;
        }
        case Kind::Form:
        case Kind::TabSheet: return nullptr;
    }
    std::string text = c.kind() == Kind::CheckListBox ? std::string() : c.Text();
    HWND hwnd = CreateWindowExA(exStyle, cls, text.c_str(), style, x, y, b.width, b.height, parentWindow,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    Attach(hwnd, c);
    SendMessageA(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(state.font), FALSE);
    if (!c.Enabled()) EnableWindow(hwnd, FALSE);

    switch (c.kind()) {
        case Kind::Label:
            if (static_cast<Label&>(c).autoSize()) SizeLabel(c);
            break;
        case Kind::CheckListBox:
            SetWindowSubclass(hwnd, CheckListProc, 1, 0);
            Changed(c, Change::Items);
            break;
        case Kind::Panel: CreateChildren(form, c, hwnd, POINT{0, 0}); break;
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
                CreateChildren(form, *page, sheet, POINT{0, 0});
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
        SetWindowPos(sheet, HWND_TOP, display.left, display.top, display.right - display.left,
                     display.bottom - display.top, SWP_NOACTIVATE | (active && pages.Visible() ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
        ++index;
    }
    if (selected >= 0) SendMessageA(tab, TCM_SETCURSEL, static_cast<WPARAM>(selected), 0);
}

void Win32Backend::SizeLabel(Control& label) {
    HWND hwnd = HwndOf(label);
    HDC dc = GetDC(hwnd);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(hwnd, WM_GETFONT, 0, 0)));
    RECT r{0, 0, 0, 0};
    std::string text = label.Text().empty() ? " " : label.Text();
    DrawTextA(dc, text.c_str(), -1, &r, DT_CALCRECT | DT_NOPREFIX | DT_SINGLELINE);
    SelectObject(dc, old);
    ReleaseDC(hwnd, dc);
    SetWindowPos(hwnd, nullptr, 0, 0, r.right, r.bottom, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Backend::BuildMenu(Form& form, HWND hwnd) {
    HMENU bar = CreateMenu();
    form.menu->native = bar;
    std::vector<ACCEL> accelerators;
    for (auto& top : form.menu->Items()) {
        HMENU popup = CreatePopupMenu();
        for (auto& entry : top->Items()) {
            entry->native = popup;
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
                    info.hbmpItem = LoadBitmapA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(entry->image));
                }
                ACCEL accel;
                if (ParseShortCut(entry->shortCut, accel)) {
                    accel.cmd = static_cast<WORD>(entry->command);
                    accelerators.push_back(accel);
                }
            }
            InsertMenuItemA(popup, GetMenuItemCount(popup), TRUE, &info);
        }
        top->native = bar;
        AppendMenuA(bar, MF_POPUP | MF_STRING | (top->Enabled() ? 0 : MF_GRAYED), reinterpret_cast<UINT_PTR>(popup),
                    top->Caption().c_str());
    }
    SetMenu(hwnd, bar);
    if (!accelerators.empty())
        states_[&form].accelerators = CreateAcceleratorTableA(accelerators.data(), static_cast<int>(accelerators.size()));
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
            if (control.kind() == Kind::Label && static_cast<Label&>(control).autoSize()) SizeLabel(control);
            if (control.kind() == Kind::Panel) InvalidateRect(hwnd, nullptr, TRUE);
            break;
        case Change::Enabled: EnableWindow(hwnd, control.Enabled()); break;
        case Change::Visible:
            if (control.kind() == Kind::Form)
                ShowForm(static_cast<Form&>(control), control.Visible());
            else
                ShowWindow(hwnd, control.Visible() ? SW_SHOW : SW_HIDE);
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

void Win32Backend::Repaint(Control& control) {
    HWND hwnd = HwndOf(control);
    if (!hwnd) return;
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    GdiFlush();
}

void Win32Backend::Focus(Control& control) {
    if (HWND hwnd = HwndOf(control)) ::SetFocus(hwnd);
}

void Win32Backend::ShowForm(Form& form, bool show) {
    HWND hwnd = HwndOf(form);
    if (!show) {
        ShowWindow(hwnd, SW_HIDE);
        return;
    }
    if (!IsWindowVisible(hwnd)) {
        if (form.centered) PlaceForm(form);
        ShowWindow(hwnd, SW_SHOW);
        UpdateWindow(hwnd);
        form.Activated();
    }
    SetForegroundWindow(hwnd);
}

void Win32Backend::BringToFront(Form& form) {
    HWND hwnd = HwndOf(form);
    SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    SetForegroundWindow(hwnd);
}

void Win32Backend::MoveFocus(Form& form, bool forward) {
    std::vector<Control*> stops;
    CollectTabStops(form, stops);
    if (stops.empty()) return;
    Control* current = ControlOf(GetFocus());
    auto it = std::find(stops.begin(), stops.end(), current);
    std::size_t index = it == stops.end() ? 0 : static_cast<std::size_t>(it - stops.begin());
    if (it != stops.end()) index = forward ? (index + 1) % stops.size() : (index + stops.size() - 1) % stops.size();
    ::SetFocus(HwndOf(*stops[index]));
}

// Keyboard handling of the forms: Tab follows the forms' own tab order,
// Enter presses the default button and Escape the cancel button.
bool Win32Backend::PreTranslate(MSG& msg) {
    HWND active = GetActiveWindow();
    auto* form = static_cast<Form*>(ControlOf(active));
    if (!form || form->kind() != Kind::Form) return false;
    FormState& state = states_[form];
    if (state.accelerators && TranslateAcceleratorA(active, state.accelerators, &msg)) return true;
    if (msg.message != WM_KEYDOWN) return IsDialogMessageA(active, &msg);
    Control* focused = ControlOf(GetFocus());
    bool inMemo = focused && focused->kind() == Kind::Memo;
    switch (msg.wParam) {
        case VK_TAB:
            if (GetKeyState(VK_CONTROL) < 0) break;
            MoveFocus(*form, GetKeyState(VK_SHIFT) >= 0);
            return true;
        case VK_RETURN:
            if (inMemo) return false;
            if (state.defaultButton && ShownAndEnabled(*state.defaultButton)) {
                App().Dispatch([&] { state.defaultButton->UserClicked(); });
                return true;
            }
            return false;
        case VK_ESCAPE:
            if (state.cancelButton && ShownAndEnabled(*state.cancelButton)) {
                App().Dispatch([&] { state.cancelButton->UserClicked(); });
                return true;
            }
            return false;
        default: break;
    }
    return IsDialogMessageA(active, &msg);
}

void Win32Backend::RunModal(Form& form) {
    HWND hwnd = HwndOf(form);
    HWND previous = GetActiveWindow();
    std::vector<HWND> disabled;
    for (const auto& other : App().forms()) {
        HWND h = HwndOf(*other);
        if (other.get() != &form && h && IsWindowVisible(h) && IsWindowEnabled(h)) {
            EnableWindow(h, FALSE);
            disabled.push_back(h);
        }
    }
    if (form.centered) PlaceForm(form);
    ShowWindow(hwnd, SW_SHOW);
    SetForegroundWindow(hwnd);
    std::vector<Control*> stops;
    CollectTabStops(form, stops);
    if (!stops.empty()) ::SetFocus(HwndOf(*stops.front()));
    App().Dispatch([&] { form.Activated(); });

    bool quit = false;
    WPARAM quitCode = 0;
    MSG msg;
    while (form.modalResult == mrNone) {
        if (GetMessageA(&msg, nullptr, 0, 0) <= 0) {
            quit = true;
            quitCode = msg.wParam;
            break;
        }
        if (!PreTranslate(msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    for (HWND h : disabled) EnableWindow(h, TRUE);
    ShowWindow(hwnd, SW_HIDE);
    if (previous && IsWindow(previous)) SetActiveWindow(previous);
    if (quit) {
        if (form.modalResult == mrNone) form.modalResult = mrCancel;
        PostQuitMessage(static_cast<int>(quitCode));
    }
}

int Win32Backend::Message(const MessageRequest& request) {
    UINT flags = MB_SETFOREGROUND;
    switch (request.kind) {
        case MessageKind::Error: flags |= MB_ICONERROR; break;
        case MessageKind::Information: flags |= MB_ICONINFORMATION; break;
        case MessageKind::Confirmation: flags |= MB_ICONQUESTION; break;
        case MessageKind::Plain: break;
    }
    switch (request.buttons) {
        case Buttons::Ok: flags |= MB_OK; break;
        case Buttons::OkCancel: flags |= MB_OKCANCEL; break;
        case Buttons::YesNo: flags |= MB_YESNO; break;
    }
    HWND owner = Owner();
    if (!owner) flags |= MB_TASKMODAL;
    // IDOK, IDCANCEL, IDYES and IDNO have the modal results' numbers.
    return MessageBoxA(owner, request.text.c_str(), request.caption.c_str(), flags);
}

bool Win32Backend::RunFileDialog(FileDialog& dialog) {
    std::string filter = dialog.filter;
    std::replace(filter.begin(), filter.end(), '|', '\0');
    filter.append(2, '\0');
    std::vector<char> name(4096, '\0');
    dialog.fileName.copy(name.data(), name.size() - 1);
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = Owner();
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = name.data();
    ofn.nMaxFile = static_cast<DWORD>(name.size());
    ofn.Flags = OFN_EXPLORER | OFN_NOCHANGEDIR;
    if (dialog.hideReadOnly) ofn.Flags |= OFN_HIDEREADONLY;
    if (dialog.resizable) ofn.Flags |= OFN_ENABLESIZING;
    if (dialog.overwritePrompt) ofn.Flags |= OFN_OVERWRITEPROMPT;
    BOOL ok = dialog.save ? GetSaveFileNameA(&ofn) : GetOpenFileNameA(&ofn);
    if (ok) dialog.fileName = name.data();
    return ok != FALSE;
}

bool Win32Backend::ShowHelpContents(const std::string& helpFile) {
    return HtmlHelpA(nullptr, helpFile.c_str(), HH_DISPLAY_TOC, 0) != nullptr;
}

void Win32Backend::SetCursor(Cursor cursor) {
    cursor_ = cursor;
    ::SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(cursor == Cursor::HourGlass ? IDC_WAIT : IDC_ARROW)));
}

void Win32Backend::Run(Application& app) {
    MSG msg;
    while (!app.terminated() && GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (!PreTranslate(msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}

LRESULT Win32Backend::ContainerMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT hooked = 0;
    if (g_hook && g_hook(hwnd, msg, wParam, lParam, hooked)) return hooked;
    Control* self = ControlOf(hwnd);
    switch (msg) {
        case WM_COMMAND: {
            auto child = reinterpret_cast<HWND>(lParam);
            int code = HIWORD(wParam);
            if (!child) {
                Form* form = self ? self->form() : nullptr;
                if (MenuItem* item = form ? form->MenuByCommand(LOWORD(wParam)) : nullptr)
                    App().Dispatch([&] { item->UserChose(); });
                return 0;
            }
            Control* c = ControlOf(child);
            if (!c) break;
            if (c->kind() == Kind::Button && code == BN_CLICKED) {
                App().Dispatch([&] { c->UserClicked(); });
            } else if ((c->kind() == Kind::Edit || c->kind() == Kind::Memo) && code == EN_CHANGE && !syncing_) {
                std::string text = WindowText(child);
                App().Dispatch([&] {
                    if (c->kind() == Kind::Memo)
                        static_cast<Memo*>(c)->UserEditedLines(text);
                    else
                        c->UserTyped(text);
                });
            } else if (c->kind() == Kind::Edit && code == EN_SETFOCUS) {
                App().Dispatch([&] { c->UserEntered(); });
            }
            return 0;
        }
        case WM_NOTIFY: {
            auto* header = reinterpret_cast<NMHDR*>(lParam);
            Control* c = ControlOf(header->hwndFrom);
            if (!c) break;
            if (c->kind() == Kind::PageControl && header->code == TCN_SELCHANGE) {
                auto& pages = static_cast<PageControl&>(*c);
                LRESULT index = SendMessageA(header->hwndFrom, TCM_GETCURSEL, 0, 0);
                std::vector<TabSheet*> all = pages.Pages();
                if (index >= 0 && static_cast<std::size_t>(index) < all.size()) {
                    pages.UserSelectedPage(all[static_cast<std::size_t>(index)]);
                    LayoutPages(pages);
                }
                return 0;
            }
            long long result = 0;
            if (c->HandleNotify(header, result)) return static_cast<LRESULT>(result);
            break;
        }
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT: {
            Control* c = ControlOf(reinterpret_cast<HWND>(lParam));
            auto dc = reinterpret_cast<HDC>(wParam);
            if (msg == WM_CTLCOLOREDIT && !(c && c->kind() == Kind::Memo && c->color == clBtnFace)) break;
            SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
            SetTextColor(dc, GetSysColor(c && !c->Enabled() ? COLOR_GRAYTEXT : COLOR_WINDOWTEXT));
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        }
        case WM_MEASUREITEM: {
            auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
            Control* c = ControlOf(GetDlgItem(hwnd, static_cast<int>(measure->CtlID)));
            measure->itemHeight = c && c->kind() == Kind::CheckListBox ? static_cast<CheckListBox*>(c)->itemHeight : 13;
            return TRUE;
        }
        case WM_DRAWITEM: {
            auto* draw = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
            Control* c = ControlOf(draw->hwndItem);
            if (!c || c->kind() != Kind::CheckListBox) break;
            auto& list = static_cast<CheckListBox&>(*c);
            RECT r = draw->rcItem;
            FillRect(draw->hDC, &r, GetSysColorBrush(COLOR_WINDOW));
            if (draw->itemID == static_cast<UINT>(-1) || draw->itemID >= list.Items().size()) return TRUE;
            const auto& item = list.Items()[draw->itemID];
            int box = r.bottom - r.top;
            RECT check{r.left + 1, r.top, r.left + 1 + box, r.bottom};
            DrawFrameControl(draw->hDC, &check, DFC_BUTTON,
                             DFCS_BUTTONCHECK | DFCS_FLAT | (item.checked ? DFCS_CHECKED : 0));
            RECT text{check.right + 2, r.top, r.right, r.bottom};
            bool selected = draw->itemState & ODS_SELECTED;
            FillRect(draw->hDC, &text, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
            SetBkMode(draw->hDC, TRANSPARENT);
            SetTextColor(draw->hDC, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
            DrawTextA(draw->hDC, item.text.c_str(), -1, &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
            if (draw->itemState & ODS_FOCUS) DrawFocusRect(draw->hDC, &text);
            return TRUE;
        }
        case WM_PAINT: {
            if (self && self->kind() != Kind::Panel && HasBevels(*self)) {
                PAINTSTRUCT ps;
                HDC dc = BeginPaint(hwnd, &ps);
                DrawBevels(*self, dc);
                EndPaint(hwnd, &ps);
                return 0;
            }
            if (!self || self->kind() != Kind::Panel) break;
            auto* panel = static_cast<Panel*>(self);
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            RECT r;
            GetClientRect(hwnd, &r);
            FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
            auto edge = [&](Panel::Bevel bevel) {
                if (bevel == Panel::Bevel::None) return;
                DrawEdge(dc, &r, bevel == Panel::Bevel::Raised ? BDR_RAISEDINNER : BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
            };
            edge(panel->bevelOuter);
            edge(panel->bevelInner);
            DrawBevels(*panel, dc);
            HGDIOBJ old = SelectObject(dc, Font(*panel->form()));
            SetBkMode(dc, TRANSPARENT);
            SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
            DrawTextA(dc, panel->Text().c_str(), -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
            SelectObject(dc, old);
            EndPaint(hwnd, &ps);
            return 0;
        }
        case DM_GETDEFID: {
            Form* form = self && self->kind() == Kind::Form ? static_cast<Form*>(self) : nullptr;
            Button* def = form ? states_[form].defaultButton : nullptr;
            if (def && def->native) return MAKELRESULT(GetDlgCtrlID(HwndOf(*def)), DC_HASDEFID);
            return 0;
        }
        case WM_SETCURSOR:
            if (cursor_ == Cursor::HourGlass) {
                ::SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT)));
                return TRUE;
            }
            break;
        case WM_CLOSE:
            if (self && self->kind() == Kind::Form) {
                App().Dispatch([&] { static_cast<Form*>(self)->UserClosed(); });
                return 0;
            }
            break;
        default: break;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

}  // namespace

Backend& Instance() {
    static Win32Backend backend;
    g_backend = &backend;
    return backend;
}

HWND HwndOf(const Control& control) { return static_cast<HWND>(control.native); }

void SetMessageHook(MessageHook hook) { g_hook = hook; }

HFONT FontOf(Form& form) { return g_backend ? g_backend->Font(form) : nullptr; }

}  // namespace gui::win32
