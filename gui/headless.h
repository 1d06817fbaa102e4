#pragma once
// The headless backend: forms and controls live only in memory. Tests act
// as the user through it (clicks, typing, menu choices), read the message
// dialogs it recorded, answer them from a script and play the modal forms.

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "gui/backend.h"

namespace gui {

class HeadlessBackend : public Backend {
public:
    struct ShownMessage {
        MessageRequest request;
        int answer;
    };
    // Every message dialog shown, in order.
    std::vector<ShownMessage> messages;
    // Answers to the next message dialogs; without one the first button
    // (OK or Yes) is pressed.
    std::deque<int> answers;

    // Plays a form shown modally, acting as the user; when it returns
    // without a modal result the showing ends as if the window were closed.
    std::map<std::string, std::function<void(Form&)>> modalPlayers;
    // Names of the forms shown modally, in order, and those without a player.
    std::vector<std::string> modalShown;
    std::vector<std::string> unplayed;

    // Answers to the next file dialogs: set the name and return true, or
    // return false to cancel. Without one a dialog is cancelled.
    std::deque<std::function<bool(FileDialog&)>> fileDialogs;
    std::vector<FileDialog> fileDialogsShown;

    HelpResult helpResult = HelpResult::Shown;
    std::vector<std::string> helpShown;

    std::vector<Cursor> cursors;             // every cursor change
    std::vector<std::string> repaints;       // names of repainted controls
    std::vector<std::string> frontRequests;  // forms brought to the front
    Control* focused = nullptr;
    bool running = false;
    bool terminateRequested = false;
    // Acts as the user while a long job answers (BusyWork::Answer), and how
    // often it answered.
    std::function<void(BusyWork&)> whileBusy;
    int busyAnswers = 0;

    // The user's actions; handlers run through the general error handler.
    // While a long job runs they are dropped, as input is (but Cancel).
    void Click(Control& control);
    void Type(Control& edit, const std::string& text);
    void Focus(Control& edit) override;
    void Choose(MenuItem& item);
    void SelectPage(PageControl& pages, TabSheet& page);
    void Toggle(CheckListBox& list, std::size_t index);
    void CloseWindow(Form& form);

    // Texts of the recorded messages, and their kinds, for comparisons.
    std::vector<std::string> MessageTexts() const;
    void ClearRecords();

    void CreateForm(Form& form) override;
    void Changed(Control& control, Change change) override;
    void MenuChanged(MenuItem&) override {}
    void Repaint(Control& control) override;
    void ShowForm(Form& form, bool show) override;
    void BringToFront(Form& form) override;
    void RunModal(Form& form) override;
    int Message(const MessageRequest& request) override;
    bool RunFileDialog(FileDialog& dialog) override;
    HelpResult ShowHelpContents(const std::string& helpFile) override;
    void SetCursor(Cursor cursor) override { cursors.push_back(cursor); }
    void AnswerWhileBusy(BusyWork& work) override;
    void Run(Application& app) override;
    void Terminate() override { terminateRequested = true; }
};

}  // namespace gui
