#include "dialogs/help.h"

#include <vector>

#include "gui/application.h"
#include "platform/ansi.h"
#include "platform/os.h"

namespace {

// The help file beside the program, whatever the working directory: a bare
// name is looked up where the viewer likes (the working directory under
// Wine). The bare name when the program's folder has no 8-bit form.
std::string HelpFilePath(const std::string& helpFile) {
    std::vector<WCHAR> buffer(MAX_PATH);
    DWORD n;
    // The name is cut to fit, with ERROR_INSUFFICIENT_BUFFER, when it is longer.
    while ((n = os::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()))) == buffer.size() &&
           buffer.size() < 32768)
        buffer.resize(buffer.size() * 2);
    if (n == 0 || n >= buffer.size()) return helpFile;
    tarsio::WideString exe(buffer.data(), n);
    std::size_t slash = exe.find_last_of(WCHAR('\\'));
    if (slash == tarsio::WideString::npos) return helpFile;
    std::optional<std::string> folder = tarsio::WideToAnsi(exe.substr(0, slash + 1));
    return folder ? *folder + helpFile : helpFile;
}

}  // namespace

void ShowHelpContents() {
    gui::Application& app = gui::App();
    switch (app.backend()->ShowHelpContents(HelpFilePath(app.helpFile))) {
        case gui::HelpResult::Shown: break;
        case gui::HelpResult::FileNotShown:
            gui::MessageDlg("The Help file " + app.helpFile + " could not be found.", gui::MessageKind::Error);
            break;
        case gui::HelpResult::NoViewer:
            gui::MessageDlg(
                "The Help viewer (hhctrl.ocx) could not be loaded from the Windows system folder, so the "
                "Help file " +
                    app.helpFile + " cannot be shown.",
                gui::MessageKind::Error);
            break;
    }
}
