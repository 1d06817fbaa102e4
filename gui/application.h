#pragma once
// The application object: title, help file, the forms in creation order
// (the first is the main form) and the message loop. Every event handler
// runs through Dispatch, the general error handler: an error raised out of
// a handler is shown in an error box and the window goes on.

#include <chrono>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "gui/backend.h"
#include "gui/controls.h"

namespace gui {

class BusyWork;

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

    // The long job under way on the window's thread, or nullptr.
    BusyWork* busyWork() const { return busy_; }
    // Whether a user's action on `control` (nullptr: a menu entry, closing
    // a window) may run its handler. While a BusyWork runs none may, so that
    // no handler re-enters the job; an action on its cancel button, or
    // closing the main window, cancels the job instead.
    bool TakesAction(const Control* control, bool closing = false);
    // Runs a handler of a user's action where TakesAction allows it.
    template <typename F>
    void DispatchAction(const Control* control, F&& handler) {
        if (TakesAction(control)) Dispatch(std::forward<F>(handler));
    }

    // Forgets all forms and state (tests start afresh).
    void Reset();

private:
    void Adopt(std::unique_ptr<Form> form);
    friend class BusyWork;
    Backend* backend_ = nullptr;
    BusyWork* busy_ = nullptr;
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

// A long job on the window's thread (an export, an inspection search) during
// which the windows keep answering: the job calls Answer whenever Due says,
// which handles what waits for the windows (paint, sent messages, timers)
// and drops input to them, so that no handler runs in the middle of the job.
// A click on `cancel`, or Escape, cancels the job: Cancelled turns true, and
// the job ends itself. The hourglass stays as the job set it.
class BusyWork {
public:
    explicit BusyWork(Control* cancel = nullptr);
    ~BusyWork();
    BusyWork(const BusyWork&) = delete;
    BusyWork& operator=(const BusyWork&) = delete;

    // True at the first call and then at most 30 times a second: time to
    // show the progress and to call Answer. Cheap enough for every entry.
    bool Due();
    void Answer();

    Control* cancel() const { return cancel_; }
    bool Cancelled() const { return cancelled_; }
    // Cancel pressed (or Escape); nothing without a cancel button.
    void Cancel() {
        if (cancel_) cancelled_ = true;
    }

private:
    Control* cancel_;
    BusyWork* outer_;
    bool cancelled_ = false;
    unsigned calls_ = 0;
    std::chrono::steady_clock::time_point next_{};
};

}  // namespace gui
