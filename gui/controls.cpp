#include "gui/controls.h"

#include <algorithm>

#include "gui/application.h"

namespace gui {

Control::Control(Kind kind, Control* parent, std::string name, Rect bounds, std::string text)
    : kind_(kind), parent_(parent), name_(std::move(name)), bounds_(bounds), text_(std::move(text)) {
    if (parent_) parent_->children_.push_back(this);
}

Control::~Control() {
    while (!owned_.empty()) owned_.pop_back();
    if (parent_) {
        auto& siblings = parent_->children_;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
    }
}

Form* Control::form() {
    Control* c = this;
    while (c->parent_) c = c->parent_;
    return c->kind_ == Kind::Form ? static_cast<Form*>(c) : nullptr;
}

Control* Control::Find(const std::string& name) {
    if (name_ == name) return this;
    for (Control* child : children_)
        if (Control* found = child->Find(name)) return found;
    return nullptr;
}

Backend* Control::backend() { return native || kind_ == Kind::Form ? App().backend() : nullptr; }

void Control::Notify(Change change) {
    if (Backend* b = backend()) b->Changed(*this, change);
}

void Control::SetText(const std::string& text) {
    if (text == text_) return;
    text_ = text;
    Notify(Change::Text);
    if (OnChange) OnChange();
}

void Control::SetEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    Notify(Change::Enabled);
}

void Control::SetVisible(bool visible) {
    if (visible == visible_) return;
    visible_ = visible;
    Notify(Change::Visible);
}

void Control::SetFocus() {
    if (Backend* b = backend()) b->Focus(*this);
}

void Control::Repaint() {
    if (Backend* b = backend()) b->Repaint(*this);
}

void Control::UserTyped(const std::string& text) {
    if (text == text_) return;
    text_ = text;
    if (OnChange) OnChange();
}

void Control::UserClicked() {
    if (OnClick) OnClick();
    if (kind_ == Kind::Button) {
        auto* button = static_cast<Button*>(this);
        // A button's modal result ends a modal showing; a modeless form ignores it.
        Form* f = form();
        if (button->modalResult != mrNone && f && f->modal()) f->modalResult = button->modalResult;
    }
}

void Control::UserEntered() {
    if (OnEnter) OnEnter();
}

Label::Label(Control* parent, std::string name, int left, int top, std::string caption, int width, int height)
    : Control(Kind::Label, parent, std::move(name), Rect{left, top, width, height}, std::move(caption)) {}

Edit::Edit(Control* parent, std::string name, Rect bounds) : Control(Kind::Edit, parent, std::move(name), bounds) {}

Button::Button(Control* parent, std::string name, Rect bounds, std::string caption)
    : Control(Kind::Button, parent, std::move(name), bounds, std::move(caption)) {}

Panel::Panel(Control* parent, std::string name, Rect bounds, std::string caption)
    : Control(Kind::Panel, parent, std::move(name), bounds, std::move(caption)) {}

Bevel::Bevel(Control* parent, std::string name, Rect bounds)
    : Control(Kind::Bevel, parent, std::move(name), bounds) {}

StaticText::StaticText(Control* parent, std::string name, Rect bounds, std::string caption)
    : Control(Kind::StaticText, parent, std::move(name), bounds, std::move(caption)) {}

Image::Image(Control* parent, std::string name, Rect bounds, int icon)
    : Control(Kind::Image, parent, std::move(name), bounds), iconResource(icon) {}

Memo::Memo(Control* parent, std::string name, Rect bounds) : Control(Kind::Memo, parent, std::move(name), bounds) {}

void Memo::SyncText() {
    std::string text;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (i) text += "\r\n";
        text += lines_[i];
    }
    SetText(text);
}

void Memo::AddLine(const std::string& line) {
    lines_.push_back(line);
    SyncText();
}

void Memo::Clear() {
    lines_.clear();
    SyncText();
}

void Memo::SetSelStart(int position) {
    selStart_ = position;
    Notify(Change::Caret);
}

void Memo::UserEditedLines(const std::string& text) {
    lines_.clear();
    std::size_t start = 0;
    while (true) {
        std::size_t end = text.find("\r\n", start);
        lines_.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) break;
        start = end + 2;
    }
    if (text.empty()) lines_.clear();
    UserTyped(text);
}

CheckListBox::CheckListBox(Control* parent, std::string name, Rect bounds)
    : Control(Kind::CheckListBox, parent, std::move(name), bounds) {}

void CheckListBox::Clear() {
    items_.clear();
    Notify(Change::Items);
}

void CheckListBox::Add(const std::string& text, bool checked) {
    items_.push_back(Item{text, checked});
    Notify(Change::Items);
}

void CheckListBox::SetChecked(std::size_t index, bool checked) {
    items_.at(index).checked = checked;
    Notify(Change::Items);
}

void CheckListBox::UserToggled(std::size_t index) {
    if (index >= items_.size()) return;
    items_[index].checked = !items_[index].checked;
    Notify(Change::Items);
    if (OnClick) OnClick();
}

TabSheet::TabSheet(Control* parent, std::string name, std::string caption)
    : Control(Kind::TabSheet, parent, std::move(name), Rect{}, std::move(caption)) {}

PageControl::PageControl(Control* parent, std::string name, Rect bounds)
    : Control(Kind::PageControl, parent, std::move(name), bounds) {}

std::vector<TabSheet*> PageControl::Pages() {
    std::vector<TabSheet*> pages;
    for (Control* c : children())
        if (c->kind() == Kind::TabSheet) pages.push_back(static_cast<TabSheet*>(c));
    return pages;
}

int PageControl::ActivePageIndex() {
    int index = 0;
    for (TabSheet* page : Pages()) {
        if (!page->Visible()) continue;
        if (page == active_) return index;
        ++index;
    }
    return -1;
}

void PageControl::SetActivePage(TabSheet* page) {
    if (page == active_) return;
    active_ = page;
    Notify(Change::Page);
}

void PageControl::UserSelectedPage(TabSheet* page) { active_ = page; }

MenuItem::MenuItem(std::string name, std::string caption) : name_(std::move(name)), caption_(std::move(caption)) {}

MenuItem* MenuItem::Add(std::unique_ptr<MenuItem> child) {
    items_.push_back(std::move(child));
    return items_.back().get();
}

MenuItem* MenuItem::Find(const std::string& name) {
    if (name_ == name) return this;
    for (auto& item : items_)
        if (MenuItem* found = item->Find(name)) return found;
    return nullptr;
}

void MenuItem::Notify() {
    if (native && App().backend()) App().backend()->MenuChanged(*this);
}

void MenuItem::SetEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    Notify();
}

void MenuItem::SetChecked(bool checked) {
    if (checked == checked_) return;
    checked_ = checked;
    Notify();
}

void MenuItem::UserChose() {
    if (!enabled_) return;
    if (autoCheck) SetChecked(!checked_);
    if (OnClick) OnClick();
}

Form::Form(std::string name, std::string caption)
    : Control(Kind::Form, nullptr, std::move(name), Rect{}, std::move(caption)) {
    InitVisible(false);
}

Form::~Form() = default;

int Form::ShowModal() {
    Backend* b = App().backend();
    modalResult = mrNone;
    modal_ = true;
    closeNotified_ = false;
    struct EndModal {
        Form& f;
        ~EndModal() { f.modal_ = false; }
    } end{*this};
    if (OnShow) OnShow();
    b->RunModal(*this);
    // A showing ended by a button's modal result closes the form too.
    if (!closeNotified_ && OnClose) OnClose();
    return modalResult;
}

void Form::Show() {
    bool wasVisible = Visible();
    SetVisible(true);
    if (!wasVisible && OnShow) OnShow();
}

void Form::Hide() { SetVisible(false); }

void Form::BringToFront() {
    if (Backend* b = App().backend()) b->BringToFront(*this);
}

void Form::Close() {
    closeNotified_ = true;
    if (OnClose) OnClose();
    if (modal_) {
        if (modalResult == mrNone) modalResult = mrCancel;
    } else if (this == App().mainForm()) {
        App().Terminate();
    } else {
        Hide();
    }
}

void Form::UserClosed() { Close(); }

void Form::Activated() {
    if (OnActivate) OnActivate();
}

int Form::AssignCommands(int first) {
    std::function<void(MenuItem&)> walk = [&](MenuItem& item) {
        item.owner = this;
        if (!item.separator && item.Items().empty()) item.command = first++;
        for (auto& child : item.Items()) walk(*child);
    };
    if (menu) walk(*menu);
    return first;
}

MenuItem* Form::MenuByCommand(int command) {
    MenuItem* found = nullptr;
    std::function<void(MenuItem&)> walk = [&](MenuItem& item) {
        if (item.command == command && !item.Items().size()) found = &item;
        for (auto& child : item.Items()) walk(*child);
    };
    if (menu && command) walk(*menu);
    return found;
}

}  // namespace gui
