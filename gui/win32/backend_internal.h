#pragma once
// The Win32 backend's parts, shared by its files: windows and messages
// (backend_win32.cpp), controls and menus (controls_win32.cpp), common
// dialogs (dialogs_win32.cpp) and painting (paint_win32.cpp).

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "gui/backend.h"
#include "gui/win32/backend_win32.h"
#include "platform/unique_win32.h"

namespace gui::win32 {

inline constexpr const char* kFormClass = "TarsioForm";
inline constexpr const char* kPanelClass = "TarsioPanel";
inline constexpr const char* kImageClass = "TarsioImage";
inline constexpr int kFirstControlId = 1000;

struct FormState {
    tarsio::UniqueFont font;
    tarsio::UniqueAccelerators accelerators;
    std::vector<tarsio::UniqueBitmap> menuImages;  // DestroyMenu leaves the items' bitmaps
    UINT dpi = 96;
    int defaultId = 0;         // the dialog manager's default button (DM_SETDEFID)
    HWND lastFocus = nullptr;  // given back when the form is activated again
    int nextId = kFirstControlId;
};

Control* ControlOf(HWND hwnd);
void Attach(HWND hwnd, Control& control);
std::string WindowText(HWND hwnd);
// The form a top-level window shows, or nullptr.
Form* FormOfWindow(HWND hwnd);

// Painting (paint_win32.cpp).
LRESULT CALLBACK ImageProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
bool HasBevels(const Control& parent);
void PaintBevels(HWND hwnd, const Control& parent, UINT dpi);
void PaintPanel(HWND hwnd, Panel& panel, HFONT font, UINT dpi);
void DrawCheckListItem(CheckListBox& list, const DRAWITEMSTRUCT& draw);
// WM_CTLCOLORSTATIC and WM_CTLCOLOREDIT: labels and memos on the button face.
bool ControlColors(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);

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
    HelpResult ShowHelpContents(const std::string& helpFile) override;
    void SetCursor(Cursor cursor) override;
    void AnswerWhileBusy(BusyWork& work) override;
    void Run(Application& app) override;
    void Terminate() override { PostQuitMessage(0); }
    void DestroyWindows();

    FormState& State(Form& form) { return states_[&form]; }
    LRESULT ContainerMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

private:
    // Controls (controls_win32.cpp).
    void CreateChildren(Form& form, Control& parent, HWND parentWindow);
    HWND CreateControl(Form& form, Control& c, HWND parentWindow);
    void OrderForTabbing(const Control& parent);
    void PlaceControl(Form& form, Control& c);
    void Rescale(Form& form, Control& parent);
    void LayoutPages(PageControl& pages);
    void SizeText(Control& c);
    void BuildMenu(Form& form, HWND hwnd);
    bool PageMnemonic(Control& parent, char key);

    // Windows and messages (backend_win32.cpp).
    void PlaceForm(Form& form);
    void DpiChanged(Form& form, UINT dpi, const RECT& suggested);
    void MakeFont(Form& form);
    bool PreTranslate(MSG& msg);
    void FocusFirst(Form& form);
    LRESULT Command(Control* self, WPARAM wParam, LPARAM lParam);
    LRESULT Notify(Control* self, NMHDR* header, bool& handled);
    HWND Owner();

    std::map<Form*, FormState> states_;
    bool syncing_ = false;  // our own SetWindowText: no change event from it
    Cursor cursor_ = Cursor::Default;
};

Win32Backend& Backend32();

}  // namespace gui::win32
