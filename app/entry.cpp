#include "app/entry.h"

#include <cstdio>
#include <exception>
#include <string>

#include "app/command_line.h"
#include "engine/error.h"
#include "listfile/import.h"

namespace tarsio {
namespace {

void Put(std::FILE* stream, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

}  // namespace

ConsoleText StdioText() {
    return {[](std::string_view t) { Put(stdout, t); }, [](std::string_view t) { Put(stderr, t); }};
}

int RunTarsio(std::string_view commandLine, const std::function<int()>& runWindow, const ConsoleText& text) {
    std::vector<std::string> params = SplitCommandLine(commandLine);
    ModeChoice choice = ChooseRunMode(std::vector<std::string>(params.begin() + 1, params.end()));
    switch (choice.mode) {
        case RunMode::Quit: return 0;
        case RunMode::Window: return runWindow();
        case RunMode::ConsoleImport: break;
    }
    std::string reason;
    try {
        TImport importer;
        bool hadErrors = importer.Import(choice.listFile);
        text.out(hadErrors ? "Import had errors\n" : "Import successfully\n");
        return 0;
    } catch (const TarsioError& e) {
        reason = e.what();
        if (e.code()) reason += " (system error " + std::to_string(e.code()) + ")";
    } catch (const std::exception& e) {
        reason = e.what();
    }
    text.err("Tarsio: import of " + choice.listFile + " failed: " + reason + "\n");
    return 1;
}

}  // namespace tarsio
