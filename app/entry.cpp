#include "app/entry.h"

#include <exception>

#include "app/command_line.h"
#include "engine/error.h"
#include "listfile/import.h"

namespace tarsio {
namespace {

int ConsoleImport(const std::string& listFile, std::FILE* out) {
    TImport importer;
    bool hadErrors = importer.Import(listFile);
    std::fputs(hadErrors ? "Import had errors\n" : "Import successfully\n", out);
    std::fflush(out);
    return 0;
}

}  // namespace

int RunTarsio(std::string_view commandLine, const std::function<int()>& runWindow, std::FILE* out,
              std::FILE* err) {
    std::vector<std::string> params = SplitCommandLine(commandLine);
    ModeChoice choice = ChooseRunMode(std::vector<std::string>(params.begin() + 1, params.end()));
    switch (choice.mode) {
        case RunMode::Quit: return 0;
        case RunMode::Window: return runWindow();
        case RunMode::ConsoleImport: break;
    }
    try {
        return ConsoleImport(choice.listFile, out);
    } catch (const TarsioError& e) {
        if (e.code())
            std::fprintf(err, "Tarsio: import failed: %s (system error %lu)\n", e.what(), e.code());
        else
            std::fprintf(err, "Tarsio: import failed: %s\n", e.what());
    } catch (const std::exception& e) {
        std::fprintf(err, "Tarsio: import failed: %s\n", e.what());
    }
    std::fflush(err);
    return 1;
}

}  // namespace tarsio
