#include "gui/headless.h"

#include "gui/application.h"

namespace gui {
namespace {

void MarkCreated(Control& c) {
    c.native = &c;
    c.NativeCreated();
    for (Control* child : c.children()) MarkCreated(*child);
}

void MarkMenu(MenuItem& item) {
    item.native = &item;
    for (auto& child : item.Items()) MarkMenu(*child);
}

}  // namespace

void HeadlessBackend::CreateForm(Form& form) {
    MarkCreated(form);
    if (form.menu) MarkMenu(*form.menu);
}

void HeadlessBackend::Changed(Control&, Change) {}

void HeadlessBackend::Repaint(Control& control) {
    repaints.push_back(control.name());
    control.PaintHeadless();
}

void HeadlessBackend::ShowForm(Form& form, bool show) {
    if (show) form.Activated();
}

void HeadlessBackend::BringToFront(Form& form) { frontRequests.push_back(form.name()); }

void HeadlessBackend::Click(Control& control) {
    if (!control.Enabled() || !control.Visible()) return;
    App().DispatchAction(&control, [&] { control.UserClicked(); });
}

void HeadlessBackend::Type(Control& edit, const std::string& text) {
    if (!App().TakesAction(&edit)) return;
    Focus(edit);
    App().Dispatch([&] {
        if (edit.kind() == Kind::Memo)
            static_cast<Memo&>(edit).UserEditedLines(text);
        else
            edit.UserTyped(text);
    });
}

void HeadlessBackend::Focus(Control& edit) {
    if (focused == &edit) return;
    focused = &edit;
    App().Dispatch([&] { edit.UserEntered(); });
}

void HeadlessBackend::Choose(MenuItem& item) {
    App().DispatchAction(nullptr, [&] { item.UserChose(); });
}

void HeadlessBackend::SelectPage(PageControl& pages, TabSheet& page) { pages.UserSelectedPage(&page); }

void HeadlessBackend::Toggle(CheckListBox& list, std::size_t index) {
    App().DispatchAction(&list, [&] { list.UserToggled(index); });
}

void HeadlessBackend::CloseWindow(Form& form) {
    if (App().TakesAction(&form, &form == App().mainForm())) App().Dispatch([&] { form.UserClosed(); });
}

std::vector<std::string> HeadlessBackend::MessageTexts() const {
    std::vector<std::string> texts;
    for (const ShownMessage& m : messages) texts.push_back(m.request.text);
    return texts;
}

void HeadlessBackend::ClearRecords() {
    messages.clear();
    modalShown.clear();
    unplayed.clear();
    fileDialogsShown.clear();
    helpShown.clear();
    cursors.clear();
    repaints.clear();
    frontRequests.clear();
}

void HeadlessBackend::RunModal(Form& form) {
    modalShown.push_back(form.name());
    Control* previousFocus = focused;
    focused = nullptr;
    form.Activated();
    auto player = modalPlayers.find(form.name());
    if (player == modalPlayers.end()) {
        unplayed.push_back(form.name());
    } else {
        player->second(form);
    }
    if (form.modalResult == mrNone) form.modalResult = mrCancel;
    focused = previousFocus;
}

int HeadlessBackend::Message(const MessageRequest& request) {
    int answer = request.buttons == Buttons::YesNo ? mrYes : mrOk;
    if (!answers.empty()) {
        answer = answers.front();
        answers.pop_front();
    }
    messages.push_back(ShownMessage{request, answer});
    return answer;
}

bool HeadlessBackend::RunFileDialog(FileDialog& dialog) {
    fileDialogsShown.push_back(dialog);
    if (fileDialogs.empty()) return false;
    auto answer = std::move(fileDialogs.front());
    fileDialogs.pop_front();
    return answer(dialog);
}

HelpResult HeadlessBackend::ShowHelpContents(const std::string& helpFile) {
    helpShown.push_back(helpFile);
    return helpResult;
}

void HeadlessBackend::AnswerWhileBusy(BusyWork& work) {
    ++busyAnswers;
    if (whileBusy) whileBusy(work);
}

void HeadlessBackend::Run(Application&) { running = true; }

}  // namespace gui
