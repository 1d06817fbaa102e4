#pragma once
// Forms, controls and menus, independent of how they are shown. A control
// keeps its state here (text, enabled, visible, checked, items); a backend
// mirrors that state onto native windows (Win32) or keeps it as is
// (headless, for tests), and reports what the user did through the User*
// calls, which update the state and run the event handlers.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace gui {

struct Rect {
    int left = 0, top = 0, width = 0, height = 0;
};

// 0x00BBGGRR, as COLORREF.
using Color = std::uint32_t;
inline constexpr Color clFuchsia = 0x00FF00FF;
inline constexpr Color clBtnFace = 0x80000000;  // the system's button face
inline constexpr Color clDefault = 0xFF000000;  // whatever the control draws by default

enum class Kind {
    Form,
    Panel,
    Label,
    Edit,
    Button,
    PageControl,
    TabSheet,
    Bevel,
    Memo,
    CheckListBox,
    Image,
    StaticText,
    Custom,  // a control with a native view of its own (the folder trees)
};

// What changed, for the backend.
enum class Change { Text, Enabled, Visible, Items, Page, Caret };

enum ModalResult : int { mrNone = 0, mrOk = 1, mrCancel = 2, mrYes = 6, mrNo = 7 };

class Form;
class Backend;

class Control {
public:
    Control(Kind kind, Control* parent, std::string name, Rect bounds, std::string text = {});
    virtual ~Control();
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    Kind kind() const { return kind_; }
    const std::string& name() const { return name_; }
    Control* parent() const { return parent_; }
    Form* form();

    // Makes a child control, owned by this one: T's constructor takes the
    // parent first.
    template <typename T, typename... Args>
    T* Make(Args&&... args) {
        auto child = std::make_unique<T>(this, std::forward<Args>(args)...);
        T* raw = child.get();
        owned_.push_back(std::move(child));
        return raw;
    }
    const std::vector<Control*>& children() const { return children_; }
    // A child by name, searched in the whole subtree; nullptr if none.
    Control* Find(const std::string& name);

    Rect bounds() const { return bounds_; }
    const std::string& Text() const { return text_; }
    // Sets the caption or text. Only a real change counts: then the backend
    // is told and OnChange runs.
    void SetText(const std::string& text);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    void SetFocus();
    void Repaint();

    int tabOrder = 0;
    std::string hint;
    Color color = clDefault;

    std::function<void()> OnClick;
    std::function<void()> OnChange;
    std::function<void()> OnEnter;

    // The native object of the backend (an HWND for Win32).
    void* native = nullptr;

    // What the user did, reported by the backend.
    void UserTyped(const std::string& text);
    void UserClicked();
    void UserEntered();

    // Called when the backend has created its native object (parent first).
    virtual void NativeCreated() {}
    // Custom controls make their own native window (Win32: a child of the
    // HWND `parentWindow` with the command identifier `id`) and take the
    // notifications (WM_NOTIFY) it sends; headless they paint in memory.
    virtual void* CreateCustomWindow(void* /*parentWindow*/, int /*id*/) { return nullptr; }
    virtual bool HandleNotify(void* /*header*/, long long& /*result*/) { return false; }
    virtual void PaintHeadless() {}

protected:
    Backend* backend();
    void Notify(Change change);
    void InitVisible(bool visible) { visible_ = visible; }

private:
    Kind kind_;
    Control* parent_;
    std::string name_;
    Rect bounds_;
    std::string text_;
    bool enabled_ = true;
    bool visible_ = true;
    std::vector<Control*> children_;
    std::vector<std::unique_ptr<Control>> owned_;
};

class Label : public Control {
public:
    Label(Control* parent, std::string name, int left, int top, std::string caption, int width = 0, int height = 0);
    bool wordWrap = false;
    // Without a width the label is as wide as its text.
    bool autoSize() const { return bounds().width == 0; }
};

class Edit : public Control {
public:
    Edit(Control* parent, std::string name, Rect bounds);
};

class Button : public Control {
public:
    Button(Control* parent, std::string name, Rect bounds, std::string caption);
    bool isDefault = false;  // Enter presses it
    bool isCancel = false;   // Escape presses it
    int modalResult = mrNone;
};

class Panel : public Control {
public:
    Panel(Control* parent, std::string name, Rect bounds, std::string caption);
    enum class Bevel { None, Raised, Lowered };
    Bevel bevelOuter = Bevel::Raised;
    Bevel bevelInner = Bevel::None;
};

class Bevel : public Control {
public:
    Bevel(Control* parent, std::string name, Rect bounds);
};

class StaticText : public Control {
public:
    StaticText(Control* parent, std::string name, Rect bounds, std::string caption);
};

class Image : public Control {
public:
    Image(Control* parent, std::string name, Rect bounds, int iconResource);
    int iconResource;
    bool stretch = true;
};

class Memo : public Control {
public:
    Memo(Control* parent, std::string name, Rect bounds);
    const std::vector<std::string>& Lines() const { return lines_; }
    void AddLine(const std::string& line);
    void Clear();
    int SelStart() const { return selStart_; }
    void SetSelStart(int position);
    bool border = true;
    bool verticalScrollBar = false;

    // The backend reports typing as the whole text, lines joined by CR LF.
    void UserEditedLines(const std::string& text);

private:
    void SyncText();
    std::vector<std::string> lines_;
    int selStart_ = 0;
};

class CheckListBox : public Control {
public:
    CheckListBox(Control* parent, std::string name, Rect bounds);
    struct Item {
        std::string text;
        bool checked = false;
    };
    const std::vector<Item>& Items() const { return items_; }
    void Clear();
    void Add(const std::string& text, bool checked);
    void SetChecked(std::size_t index, bool checked);
    int itemHeight = 13;

    void UserToggled(std::size_t index);

private:
    std::vector<Item> items_;
};

class TabSheet : public Control {
public:
    TabSheet(Control* parent, std::string name, std::string caption);
};

class PageControl : public Control {
public:
    PageControl(Control* parent, std::string name, Rect bounds);
    std::vector<TabSheet*> Pages();
    // The active page's index among the visible pages, or -1.
    int ActivePageIndex();
    TabSheet* ActivePage() { return active_; }
    void SetActivePage(TabSheet* page);

    void UserSelectedPage(TabSheet* page);

private:
    TabSheet* active_ = nullptr;
};

// A main menu entry. Entries with children open a submenu.
class MenuItem {
public:
    MenuItem(std::string name, std::string caption);
    MenuItem* Add(std::unique_ptr<MenuItem> child);

    const std::string& name() const { return name_; }
    const std::string& Caption() const { return caption_; }
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    bool Checked() const { return checked_; }
    void SetChecked(bool checked);
    const std::vector<std::unique_ptr<MenuItem>>& Items() const { return items_; }
    MenuItem* Find(const std::string& name);

    bool separator = false;
    bool autoCheck = false;  // a click toggles the check mark before OnClick
    std::string shortCut;    // as shown: "Ctrl+O", "Alt+F4", "F1"
    std::string hint;
    int image = -1;   // index of the entry's image, -1 for none
    int command = 0;  // command identifier, given by the form
    std::function<void()> OnClick;

    void* native = nullptr;  // the backend's menu handle holding this entry
    Form* owner = nullptr;

    void UserChose();

private:
    void Notify();
    std::string name_;
    std::string caption_;
    bool enabled_ = true;
    bool checked_ = false;
    std::vector<std::unique_ptr<MenuItem>> items_;
};

enum class BorderStyle { Single, Dialog, Sizeable };

class Form : public Control {
public:
    Form(std::string name, std::string caption);
    ~Form() override;

    BorderStyle borderStyle = BorderStyle::Single;
    bool minimizeBox = false;
    bool centered = false;  // centred on the screen when shown
    int left = 0, top = 0;  // screen position when not centred
    int clientWidth = 0, clientHeight = 0;
    int outerWidth = 0, outerHeight = 0;  // used instead of the client size when set
    std::string fontName;                 // empty: the system's dialog font
    int fontHeight = 0;
    std::unique_ptr<MenuItem> menu;  // the main menu's top-level entries

    int modalResult = mrNone;
    bool modal() const { return modal_; }

    // Shows the form modally and returns its modal result.
    int ShowModal();
    void Show();
    void Hide();
    void BringToFront();
    // A modal form ends its showing with mrCancel; another form is hidden.
    void Close();

    std::function<void()> OnCreate;
    std::function<void()> OnShow;
    std::function<void()> OnActivate;
    std::function<void()> OnClose;

    // The backend's reports.
    void UserClosed();
    void Activated();

    // Numbers the menu entries from `first` on; returns the next free number.
    int AssignCommands(int first);
    MenuItem* MenuByCommand(int command);

private:
    friend class Application;
    bool modal_ = false;
    bool closeNotified_ = false;
};

}  // namespace gui
