// The Win32 backend's windows and messages: the forms' windows, their
// placement at the window's DPI, showing them (modeless and modal), the
// message loop with the system's dialog manager, and the container windows'
// message handling.

#include "gui/win32/backend_win32.h"

#include <commctrl.h>

#include "gui/application.h"
#include "gui/win32/backend_internal.h"
#include "gui/win32/dpi.h"

namespace gui::win32 {
namespace {

Win32Backend* g_backend = nullptr;
MessageHook g_hook = nullptr;

// Owned windows lie above their owner. Wine 8 lets a click on the owner
// raise it above them: once it is active they are put back above it.
constexpr UINT kRaiseOwned = WM_APP + 1;

void RaiseOwned(HWND owner) {
    for (const auto& form : App().forms()) {
        HWND owned = HwndOf(*form);
        if (!owned || owned == owner || GetWindow(owned, GW_OWNER) != owner || !IsWindowVisible(owned)) continue;
        HWND above = GetWindow(owner, GW_HWNDPREV);
        SetWindowPos(owned, above && above != owned ? above : HWND_TOP, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
}

LRESULT CALLBACK ContainerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return g_backend->ContainerMessage(hwnd, msg, wParam, lParam);
}

// The name property's atom goes with the window.
LRESULT CALLBACK ForgetName(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR) {
    if (msg == WM_NCDESTROY) {
        tarsio::UniqueAtom(static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(RemovePropA(hwnd, kNameProperty))));
        RemoveWindowSubclass(hwnd, ForgetName, id);
    }
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

}  // namespace

Control* ControlOf(HWND hwnd) {
    return hwnd ? reinterpret_cast<Control*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA)) : nullptr;
}

Form* FormOfWindow(HWND hwnd) {
    char cls[32] = {};
    if (!hwnd || !GetClassNameA(hwnd, cls, sizeof cls) || lstrcmpA(cls, kFormClass) != 0) return nullptr;
    Control* c = ControlOf(hwnd);
    return c && c->kind() == Kind::Form ? static_cast<Form*>(c) : nullptr;
}

void Attach(HWND hwnd, Control& control) {
    control.native = hwnd;
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&control));
    tarsio::UniqueAtom name(GlobalAddAtomA(control.name().c_str()));
    if (name && SetPropA(hwnd, kNameProperty, reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(name.get()))) &&
        SetWindowSubclass(hwnd, ForgetName, 0, 0))
        name.release();
    else if (name)
        RemovePropA(hwnd, kNameProperty);
}

std::string WindowText(HWND hwnd) {
    int n = GetWindowTextLengthA(hwnd);
    std::string text(static_cast<std::size_t>(n) + 1, '\0');
    n = GetWindowTextA(hwnd, text.data(), n + 1);
    text.resize(static_cast<std::size_t>(n));
    return text;
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

void Win32Backend::MakeFont(Form& form) {
    FormState& state = states_[&form];
    std::string face = form.fontName.empty() ? "MS Sans Serif" : form.fontName;
    int height = Scale(form.fontHeight ? form.fontHeight : -11, state.dpi);
    state.font.reset(CreateFontA(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                 CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face.c_str()));
}

void Win32Backend::CreateForm(Form& form) {
    // Every other form is owned by the main window, as a dialog (WS_POPUP):
    // it stays above it and is minimised with it.
    Form* main = App().mainForm();
    HWND owner = main && main != &form ? HwndOf(*main) : nullptr;
    DWORD style = WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN | (owner ? WS_POPUP : 0);
    DWORD exStyle = WS_EX_CONTROLPARENT;
    switch (form.borderStyle) {
        case BorderStyle::Single: style |= WS_BORDER; break;
        case BorderStyle::Dialog: exStyle |= WS_EX_DLGMODALFRAME; break;
        case BorderStyle::Sizeable: style |= WS_THICKFRAME; break;
    }
    if (form.minimizeBox) style |= WS_MINIMIZEBOX;
    UINT systemDpi = SystemDpi();
    HWND hwnd = CreateWindowExA(exStyle, kFormClass, form.Text().c_str(), style, Scale(form.left, systemDpi),
                                Scale(form.top, systemDpi), 100, 100, owner, nullptr, GetModuleHandleA(nullptr),
                                nullptr);
    Attach(hwnd, form);
    FormState& state = states_[&form];
    state.dpi = DpiOf(hwnd);
    MakeFont(form);
    if (form.menu) BuildMenu(form, hwnd);
    PlaceForm(form);
    CreateChildren(form, form, hwnd);
    form.NativeCreated();
}

void Win32Backend::PlaceForm(Form& form) {
    HWND hwnd = HwndOf(form);
    UINT dpi = states_[&form].dpi;
    int width = Scale(form.outerWidth, dpi), height = Scale(form.outerHeight, dpi);
    if (!form.outerWidth) {
        RECT r{0, 0, Scale(form.clientWidth, dpi), Scale(form.clientHeight, dpi)};
        AdjustForDpi(r, static_cast<DWORD>(GetWindowLongA(hwnd, GWL_STYLE)), GetMenu(hwnd) != nullptr,
                     static_cast<DWORD>(GetWindowLongA(hwnd, GWL_EXSTYLE)), dpi);
        width = r.right - r.left;
        height = r.bottom - r.top;
    }
    int x = Scale(form.left, dpi), y = Scale(form.top, dpi);
    if (form.centered) {
        x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
        y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    }
    SetWindowPos(hwnd, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    // A menu bar that wraps at this width makes the client area shorter.
    if (!form.outerWidth && GetMenu(hwnd)) {
        RECT client;
        GetClientRect(hwnd, &client);
        int missing = Scale(form.clientHeight, dpi) - client.bottom;
        if (missing > 0)
            SetWindowPos(hwnd, nullptr, 0, 0, width, height + missing, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

// WM_DPICHANGED: the window moved to a monitor of another scale.
void Win32Backend::DpiChanged(Form& form, UINT dpi, const RECT& suggested) {
    FormState& state = states_[&form];
    if (dpi == state.dpi) return;
    state.dpi = dpi;
    MakeFont(form);
    Rescale(form, form);
    SetWindowPos(HwndOf(form), nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    PlaceForm(form);
    SetWindowPos(HwndOf(form), nullptr, suggested.left, suggested.top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    RedrawWindow(HwndOf(form), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
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
        if (!GetFocus() || GetAncestor(GetFocus(), GA_ROOT) != hwnd) FocusFirst(form);
        form.Activated();
    }
    SetForegroundWindow(hwnd);
}

void Win32Backend::BringToFront(Form& form) {
    HWND hwnd = HwndOf(form);
    SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    SetForegroundWindow(hwnd);
}

// The focus on the first control in tab order that takes it, as the
// dialog manager gives it when a dialog opens.
void Win32Backend::FocusFirst(Form& form) {
    HWND hwnd = HwndOf(form);
    if (HWND first = GetNextDlgTabItem(hwnd, nullptr, FALSE)) ::SetFocus(first);
}

// Keyboard: the menu's accelerators, Alt with a page's mnemonic, then the
// system's dialog manager: Tab and Shift+Tab in the windows' order, Enter
// for the default button (DM_GETDEFID), Escape for IDCANCEL, mnemonics.
bool Win32Backend::PreTranslate(MSG& msg) {
    HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    Form* form = FormOfWindow(root);
    if (!form) return false;
    FormState& state = states_[form];
    if (state.accelerators && TranslateAcceleratorA(root, state.accelerators.get(), &msg)) return true;
    if (msg.message == WM_SYSCHAR && PageMnemonic(*form, static_cast<char>(msg.wParam))) return true;
    return IsDialogMessageA(root, &msg);
}

// A modal showing disables its owner, the window that was active (or the
// main window), and gives it back the activation at the end.
void Win32Backend::RunModal(Form& form) {
    HWND hwnd = HwndOf(form);
    HWND owner = GetActiveWindow();
    if (owner == hwnd || !FormOfWindow(owner)) owner = App().mainForm() ? HwndOf(*App().mainForm()) : nullptr;
    if (owner == hwnd) owner = nullptr;
    SetWindowLongPtrA(hwnd, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
    bool disabled = owner && IsWindowEnabled(owner);
    if (disabled) EnableWindow(owner, FALSE);
    if (form.centered) PlaceForm(form);
    ShowWindow(hwnd, SW_SHOW);
    SetForegroundWindow(hwnd);
    FocusFirst(form);
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
    // The owner is enabled before the dialog hides, so that it, not another
    // program, becomes active.
    if (disabled) EnableWindow(owner, TRUE);
    ShowWindow(hwnd, SW_HIDE);
    if (owner && IsWindow(owner)) SetActiveWindow(owner);
    if (quit) {
        if (form.modalResult == mrNone) form.modalResult = mrCancel;
        PostQuitMessage(static_cast<int>(quitCode));
    }
}

void Win32Backend::SetCursor(Cursor cursor) {
    cursor_ = cursor;
    ::SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(cursor == Cursor::HourGlass ? IDC_WAIT : IDC_ARROW)));
}

namespace {

bool IsInput(UINT msg) {
    return (msg >= WM_KEYFIRST && msg <= WM_KEYLAST) || (msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST) ||
           (msg >= WM_NCMOUSEMOVE && msg <= WM_NCXBUTTONDBLCLK) || msg == WM_NCMOUSEHOVER || msg == WM_NCMOUSELEAVE ||
           msg == WM_MOUSEHOVER || msg == WM_MOUSELEAVE || msg == WM_INPUT;
}

}  // namespace

// Sent messages are handled inside PeekMessage itself; paint and timer
// messages come out of it when nothing else waits. Input goes only to the
// cancel button (a click, Space); Escape anywhere presses it. A quit request
// stays queued for the message loop after the job.
void Win32Backend::AnswerWhileBusy(BusyWork& work) {
    HWND cancel = work.cancel() ? HwndOf(*work.cancel()) : nullptr;
    const ULONGLONG until = GetTickCount64() + 20;
    MSG msg;
    while (GetTickCount64() < until && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            work.Cancel();
            return;
        }
        if (IsInput(msg.message)) {
            if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) {
                work.Cancel();
                continue;
            }
            if (!cancel || msg.hwnd != cancel || !IsWindowVisible(cancel) || !IsWindowEnabled(cancel)) continue;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
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

LRESULT Win32Backend::Command(Control* self, WPARAM wParam, LPARAM lParam) {
    auto child = reinterpret_cast<HWND>(lParam);
    int code = HIWORD(wParam);
    if (!child) {
        Form* form = self ? self->form() : nullptr;
        if (MenuItem* item = form ? form->MenuByCommand(LOWORD(wParam)) : nullptr)
            App().DispatchAction(nullptr, [&] { item->UserChose(); });
        return 0;
    }
    Control* c = ControlOf(child);
    if (!c) return 0;
    // The dialog manager's Enter and Escape send BN_CLICKED for a button
    // that may be disabled or hidden: those press nothing.
    if (c->kind() == Kind::Button && code == BN_CLICKED) {
        if (IsWindowEnabled(child) && IsWindowVisible(child)) App().DispatchAction(c, [&] { c->UserClicked(); });
    } else if ((c->kind() == Kind::Edit || c->kind() == Kind::Memo) && code == EN_CHANGE && !syncing_) {
        std::string text = WindowText(child);
        App().DispatchAction(c, [&] {
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

LRESULT Win32Backend::Notify(Control*, NMHDR* header, bool& handled) {
    Control* c = ControlOf(header->hwndFrom);
    handled = c != nullptr;
    if (!c) return 0;
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
    handled = c->HandleNotify(header, result);
    return static_cast<LRESULT>(result);
}

LRESULT Win32Backend::ContainerMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT hooked = 0;
    if (g_hook && g_hook(hwnd, msg, wParam, lParam, hooked)) return hooked;
    Control* self = ControlOf(hwnd);
    Form* form = FormOfWindow(hwnd);
    switch (msg) {
        case WM_COMMAND: return Command(self, wParam, lParam);
        case WM_NOTIFY: {
            bool handled = false;
            LRESULT result = Notify(self, reinterpret_cast<NMHDR*>(lParam), handled);
            if (handled) return result;
            break;
        }
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT: {
            LRESULT result = 0;
            if (ControlColors(msg, wParam, lParam, result)) return result;
            break;
        }
        case WM_MEASUREITEM: {
            auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
            Control* c = ControlOf(GetDlgItem(hwnd, static_cast<int>(measure->CtlID)));
            int height = c && c->kind() == Kind::CheckListBox ? static_cast<CheckListBox*>(c)->itemHeight : 13;
            measure->itemHeight = static_cast<UINT>(Scale(height, DpiOf(hwnd)));
            return TRUE;
        }
        case WM_DRAWITEM: {
            auto* draw = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
            Control* c = ControlOf(draw->hwndItem);
            if (!c || c->kind() != Kind::CheckListBox) break;
            DrawCheckListItem(static_cast<CheckListBox&>(*c), *draw);
            return TRUE;
        }
        case WM_PAINT: {
            Form* owner = self ? self->form() : nullptr;
            if (!owner) break;
            FormState& state = states_[owner];
            if (self->kind() == Kind::Panel) {
                PaintPanel(hwnd, static_cast<Panel&>(*self), state.font.get(), state.dpi);
                return 0;
            }
            if (HasBevels(*self)) {
                PaintBevels(hwnd, *self, state.dpi);
                return 0;
            }
            break;
        }
        case DM_SETDEFID:
            if (form) states_[form].defaultId = static_cast<int>(wParam);
            return TRUE;
        case DM_GETDEFID:
            if (form && states_[form].defaultId) return MAKELRESULT(states_[form].defaultId, DC_HASDEFID);
            return 0;
        case WM_ACTIVATE:
            // As a dialog does: the focus goes back where it was.
            if (!form) break;
            if (LOWORD(wParam) != WA_INACTIVE) PostMessageA(hwnd, kRaiseOwned, 0, 0);
            if (LOWORD(wParam) == WA_INACTIVE) {
                HWND focus = GetFocus();
                if (focus && IsChild(hwnd, focus)) states_[form].lastFocus = focus;
            } else if (HWND last = states_[form].lastFocus;
                       last && IsWindow(last) && IsWindowVisible(last) && IsWindowEnabled(last)) {
                ::SetFocus(last);
                return 0;
            }
            break;
        case kRaiseOwned: RaiseOwned(hwnd); return 0;
        case WM_DPICHANGED:
            if (form) {
                DpiChanged(*form, HIWORD(wParam), *reinterpret_cast<RECT*>(lParam));
                return 0;
            }
            break;
        case WM_SETCURSOR:
            if (cursor_ == Cursor::HourGlass) {
                ::SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT)));
                return TRUE;
            }
            break;
        case WM_CLOSE:
            if (form) {
                if (App().TakesAction(form, form == App().mainForm())) App().Dispatch([&] { form->UserClosed(); });
                return 0;
            }
            break;
        case WM_SYSCOMMAND:
            // A menu's own loop would run the menu's commands in the middle
            // of a long job.
            if (App().busyWork() && ((wParam & 0xFFF0) == SC_KEYMENU || (wParam & 0xFFF0) == SC_MOUSEMENU)) return 0;
            break;
        default: break;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

Win32Backend& Backend32() {
    static Win32Backend backend;
    g_backend = &backend;
    return backend;
}

Backend& Instance() { return Backend32(); }

HWND HwndOf(const Control& control) { return static_cast<HWND>(control.native); }

void SetMessageHook(MessageHook hook) { g_hook = hook; }

HFONT FontOf(Form& form) { return g_backend ? g_backend->State(form).font.get() : nullptr; }

void Win32Backend::DestroyWindows() {
    const auto& forms = App().forms();
    for (auto form = forms.rbegin(); form != forms.rend(); ++form)
        if (HWND hwnd = HwndOf(**form); hwnd && IsWindow(hwnd)) DestroyWindow(hwnd);
    states_.clear();
}

void DestroyWindows() {
    if (g_backend) g_backend->DestroyWindows();
}

}  // namespace gui::win32
