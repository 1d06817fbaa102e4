#pragma once
// The application object: title, help file, the forms in creation order
// (the first is the main form) and the message loop. Every event handler
// runs through Dispatch, the general error handler: an error raised out of
// a handler is shown in an error box and the window goes on.

#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "gui/backend.h"
#include "gui/controls.h"

namespace gui {

class Application {
public:
    static Application& Instance();

    void SetBackend(Backend* backend) { backend_ = backend; }
    Backend* backend() const { return backend_; }

    std::string title;
    std::string helpFile;

    // Creates a form: constructs it, makes its native windows, then runs
    // its OnCreate. The first form created is the main form.
    template <typename F>
    void CreateForm(F*& variable) {
        auto form = std::make_unique<F>();
        variable = form.get();
        Adopt(std::move(form));
    }
    Form* mainForm() const { return mainForm_; }
    const std::vector<std::unique_ptr<Form>>& forms() const { return forms_; }

    // Shows the main form and runs the message loop until Terminate.
    void Run();
    void Terminate();
    bool terminated() const { return terminated_; }

    // Runs a handler; an error it raises is shown and swallowed.
    template <typename F>
    void Dispatch(F&& handler) {
        try {
            handler();
        } catch (const std::exception& e) {
            HandleException(e);
        }
    }
    void HandleException(const std::exception& e);

    // Forgets all forms and state (tests start afresh).
    void Reset();

private:
    void Adopt(std::unique_ptr<Form> form);
    Backend* backend_ = nullptr;
    std::vector<std::unique_ptr<Form>> forms_;
    Form* mainForm_ = nullptr;
    bool terminated_ = false;
};

inline Application& App() { return Application::Instance(); }

// The message dialogs: error (caption "Error", OK), information ("Information",
// OK or OK and Cancel), confirmation ("Confirm", Yes and No). Returns the
// modal result of the button pressed.
int MessageDlg(const std::string& text, MessageKind kind, Buttons buttons = Buttons::Ok);
// A plain box with OK and no icon.
int PlainMessageBox(const std::string& text, const std::string& caption);

bool RunFileDialog(FileDialog& dialog);

// The screen cursor.
Cursor ScreenCursor();
void SetScreenCursor(Cursor cursor);

// Shows the hourglass while it lives and puts the previous cursor back,
// also when an error passes through.
class HourGlass {
public:
    HourGlass() : previous_(ScreenCursor()) { SetScreenCursor(Cursor::HourGlass); }
    ~HourGlass() { SetScreenCursor(previous_); }
    HourGlass(const HourGlass&) = delete;
    HourGlass& operator=(const HourGlass&) = delete;

private:
    Cursor previous_;
};

}  // namespace gui
