#pragma once
// What a way of showing the forms must provide: the Win32 backend shows
// real windows, the headless one keeps everything in memory for tests.

#include <string>

#include "gui/controls.h"

namespace gui {

enum class Cursor { Default, HourGlass };

enum class MessageKind { Error, Information, Confirmation, Plain };

// Button sets of the message dialogs.
enum class Buttons { Ok, OkCancel, YesNo };

// What came of asking for the help file: shown; not shown by the viewer
// (missing or unreadable); or no viewer, its library could not be loaded.
enum class HelpResult { Shown, FileNotShown, NoViewer };

struct MessageRequest {
    MessageKind kind;
    std::string caption;
    std::string text;
    Buttons buttons;
};

struct FileDialog {
    bool save = false;
    std::string fileName;  // initial name in, chosen name out
    std::string filter;    // "Tarsio|*.trs|All Files|*.*"
    bool overwritePrompt = false;
    bool hideReadOnly = true;
    bool resizable = true;
};

class Application;
class BusyWork;

class Backend {
public:
    virtual ~Backend() = default;

    // Makes the native windows of a form and its controls.
    virtual void CreateForm(Form& form) = 0;
    virtual void Changed(Control& control, Change change) = 0;
    virtual void MenuChanged(MenuItem& item) = 0;
    virtual void Repaint(Control& control) = 0;
    virtual void Focus(Control& control) = 0;

    virtual void ShowForm(Form& form, bool show) = 0;
    virtual void BringToFront(Form& form) = 0;
    // Runs a modal showing until the form's modal result is set.
    virtual void RunModal(Form& form) = 0;

    virtual int Message(const MessageRequest& request) = 0;
    virtual bool RunFileDialog(FileDialog& dialog) = 0;
    // Opens the help viewer at the table of contents.
    virtual HelpResult ShowHelpContents(const std::string& helpFile) = 0;
    virtual void SetCursor(Cursor cursor) = 0;

    // What waits for the windows while `work` runs (BusyWork::Answer).
    virtual void AnswerWhileBusy(BusyWork& work) = 0;

    // The message loop, until the application is asked to terminate.
    virtual void Run(Application& app) = 0;
    virtual void Terminate() = 0;
};

}  // namespace gui
