// tarsio-bench-scan LETTER ROUNDS: times the product's export scan of drive
// LETTER on the real Win32 (run under Wine by bench/run) beside bare walks
// of the same drive, the least any scan can do there: one listing per
// folder, entering every directory that carries no reparse point, nothing
// else; once with FindFirstFileA, once with the call the finder makes
// (FindFirstFileExW, basic info level, large fetch). ROUNDS rounds of each,
// taking turns; prints the best of each, the listing calls each made,
// counted at the program's own import table, and the process's peak working
// set, one "key value" per line.

#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/error.h"
#include "listfile/export.h"
#include "listfile/find_file.h"

namespace {

// Listing calls made through this program's import table.
struct Counts {
    long standard = 0;  // FindFirstFileA
    long ex = 0;        // FindFirstFileExW
} g_counts;

decltype(&::FindFirstFileA) g_findFirst;
decltype(&::FindFirstFileExW) g_findFirstEx;

HANDLE WINAPI CountedFindFirst(LPCSTR pattern, LPWIN32_FIND_DATAA data) {
    ++g_counts.standard;
    return g_findFirst(pattern, data);
}

HANDLE WINAPI CountedFindFirstEx(LPCWSTR pattern, FINDEX_INFO_LEVELS level, LPVOID data, FINDEX_SEARCH_OPS op,
                                 LPVOID filter, DWORD flags) {
    ++g_counts.ex;
    return g_findFirstEx(pattern, level, data, op, filter, flags);
}

// Points every import table slot of this program that holds `original` at
// `replacement`; the number of slots changed.
int Redirect(void* original, void* replacement) {
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!dir.VirtualAddress) return 0;
    int changed = 0;
    for (auto* imp = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); imp->Name; ++imp) {
        for (auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + imp->FirstThunk); slot->u1.Function; ++slot) {
            if (reinterpret_cast<void*>(slot->u1.Function) != original) continue;
            DWORD old;
            VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, PAGE_READWRITE, &old);
            slot->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
            VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, old, &old);
            ++changed;
        }
    }
    return changed;
}

double Seconds() {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The bare walk of `folder` (ending with a backslash); the folders listed.
long Walk(const std::string& folder) {
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA((folder + "*").c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) return 1;
    long folders = 1;
    do {
        const char* name = data.cFileName;
        bool dots = name[0] == '.' && (!name[1] || (name[1] == '.' && !name[2]));
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && !dots)
            folders += Walk(folder + name + "\\");
    } while (FindNextFileA(h, &data));
    FindClose(h);
    return folders;
}

// The same with the wide listing the finder makes.
long WalkWide(const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileExW((folder + L"*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                                FIND_FIRST_EX_LARGE_FETCH);
    if (h == INVALID_HANDLE_VALUE) return 1;
    long folders = 1;
    do {
        const wchar_t* name = data.cFileName;
        bool dots = name[0] == L'.' && (!name[1] || (name[1] == L'.' && !name[2]));
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && !dots)
            folders += WalkWide(folder + name + L"\\");
    } while (FindNextFileW(h, &data));
    FindClose(h);
    return folders;
}

struct Best {
    double seconds = 0;
    long listings = 0;
    void Take(double t, long calls) {
        if (seconds == 0 || t < seconds) seconds = t;
        listings = calls;
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 || !argv[1][0] || argv[1][1] || std::atoi(argv[2]) < 1) {
        std::fputs("usage: tarsio-bench-scan LETTER ROUNDS\n", stderr);
        return 2;
    }
    const std::string letter = argv[1];
    const int rounds = std::atoi(argv[2]);
    // The addresses of imported functions are read from the import table.
    g_findFirst = &::FindFirstFileA;
    g_findFirstEx = &::FindFirstFileExW;
    int redirected = Redirect(reinterpret_cast<void*>(g_findFirst), reinterpret_cast<void*>(&CountedFindFirst));
    Redirect(reinterpret_cast<void*>(g_findFirstEx), reinterpret_cast<void*>(&CountedFindFirstEx));
    if (!redirected) {
        std::fputs("tarsio-bench-scan: the listing calls are not in the import table\n", stderr);
        return 1;
    }

    char temp[MAX_PATH];
    DWORD n = GetTempPathA(sizeof temp, temp);
    if (n == 0 || n >= sizeof temp) return 1;
    const std::string exportFile = std::string(temp) + "tarsio-bench.trs";

    Best walk, walkEx, scan;  // of the rounds
    long folders = 0, entries = 0;
    try {
        for (int round = 0; round < rounds; ++round) {
            g_counts = {};
            double t0 = Seconds();
            folders = Walk(letter + ":\\");
            const double walked = Seconds() - t0;
            walk.Take(walked, g_counts.standard + g_counts.ex);

            g_counts = {};
            t0 = Seconds();
            WalkWide(std::wstring(1, static_cast<wchar_t>(letter[0])) + L":\\");
            const double walkedEx = Seconds() - t0;
            walkEx.Take(walkedEx, g_counts.standard + g_counts.ex);

            tarsio::TFindFile finder;
            tarsio::SetUpFinder(finder);
            entries = 0;
            g_counts = {};
            t0 = Seconds();
            tarsio::ExportJunctions(finder, {letter}, exportFile, [&](const std::string&, const std::string&) {
                ++entries;
                return true;
            });
            const double scanned = Seconds() - t0;
            scan.Take(scanned, g_counts.standard + g_counts.ex);
            std::fprintf(stderr, "round %d: bare walks %.3f s and %.3f s (Ex), export scan %.3f s\n", round + 1,
                         walked, walkedEx, scanned);
        }
    } catch (const tarsio::TarsioError& e) {
        std::fprintf(stderr, "tarsio-bench-scan: export failed: %s (system error %lu)\n", e.what(), e.code());
        return 1;
    }
    DeleteFileA(exportFile.c_str());

    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    K32GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
    std::printf("folders %ld\nentries %ld\n", folders, entries);
    std::printf("walk %.3f\nwalk-listings %ld\n", walk.seconds, walk.listings);
    std::printf("walkex %.3f\nwalkex-listings %ld\n", walkEx.seconds, walkEx.listings);
    std::printf("scan %.3f\nscan-listings %ld\n", scan.seconds, scan.listings);
    std::printf("peak-kb %lu\n", static_cast<unsigned long>(memory.PeakWorkingSetSize / 1024));
    return 0;
}
