// tarsio-bench-tree ROOT: builds the benchmark's simulated drives under ROOT
// (a TARSIO_SIM_ROOT) straight on the host, much faster than through the
// simulation:
//   ROOT/C          100,000 directories, 1,000 of them junctions: a junction
//                   to the folder that holds it or to an ancestor of that
//                   folder in every third, and two junctions to ancestors in
//                   one folder at depth 10 (C:\deep\l2\...\l10); 10 empty
//                   files in every other directory and in the root, as a
//                   real drive has files beside its folders (1,090,010
//                   entries in all)
//   ROOT/I          empty, the drive the import makes its junctions on
//   ROOT/L          import.trs (10,000 pending entries for drive I) and
//                   mkdir.txt (the host paths of the same directories, below
//                   ROOT/mkdir)
// A junction is a host directory whose user.reparse attribute holds the
// mount-point bytes, as the simulation stores them.
//
// tarsio-bench-tree --symlinks ROOT builds only ROOT/C, for Windows under
// Wine: each junction is a symbolic link to its destination's host folder,
// which Wine reports with the reparse-point attribute. Over a tree built
// without it, it only turns the junctions into such links.

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/reparse_buffer.h"

namespace {

constexpr int kDirectories = 100000;
constexpr int kJunctions = 1000;
constexpr int kImportLines = 10000;
constexpr int kDeepLevels = 10;
constexpr int kFilesPerFolder = 10;

std::string g_root;
bool g_symlinks = false;

[[noreturn]] void Die(const std::string& what) {
    std::fprintf(stderr, "tarsio-bench-tree: %s: %s\n", what.c_str(), std::strerror(errno));
    std::exit(1);
}

// Host path of a Windows path "X:\a\b".
std::string Host(const std::string& windowsPath) {
    std::string host = g_root + "/" + windowsPath[0];
    for (char c : windowsPath.substr(2)) host.push_back(c == '\\' ? '/' : c);
    return host;
}

// A plain directory with its files.
void MakeDir(const std::string& windowsPath) {
    const std::string host = Host(windowsPath);
    if (::mkdir(host.c_str(), 0777) != 0 && errno != EEXIST) Die("mkdir " + windowsPath);
    for (int i = 0; i < kFilesPerFolder; ++i) {
        const std::string file = host + "/f" + std::to_string(i) + ".txt";
        int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        if (fd < 0 || ::close(fd) != 0) Die("open " + file);
    }
}

void MakeJunction(const std::string& windowsPath, const std::string& destination) {
    if (g_symlinks) {
        if (::rmdir(Host(windowsPath).c_str()) != 0 && errno != ENOENT) Die("rmdir " + windowsPath);
        if (::symlink(Host(destination).c_str(), Host(windowsPath).c_str()) != 0) Die("symlink " + windowsPath);
        return;
    }
    if (::mkdir(Host(windowsPath).c_str(), 0777) != 0 && errno != EEXIST) Die("mkdir " + windowsPath);
    std::string native = "\\??\\" + destination;
    std::vector<std::uint8_t> bytes = *tarsio::reparse::BuildMountPoint(std::u16string(native.begin(), native.end()));
    if (::lsetxattr(Host(windowsPath).c_str(), "user.reparse", bytes.data(), bytes.size(), 0) != 0)
        Die("setxattr " + windowsPath);
}

std::string Name(char prefix, int width, int index) {
    char text[16];
    std::snprintf(text, sizeof text, "%c%0*d", prefix, width, index);
    return text;
}

void WriteText(const std::string& hostPath, const std::string& text) {
    FILE* f = std::fopen(hostPath.c_str(), "wb");
    if (!f || std::fwrite(text.data(), 1, text.size(), f) != text.size() || std::fclose(f) != 0) Die(hostPath);
}

}  // namespace

int main(int argc, char** argv) {
    g_symlinks = argc == 3 && std::strcmp(argv[1], "--symlinks") == 0;
    if (argc != 2 && !g_symlinks) {
        std::fputs("usage: tarsio-bench-tree [--symlinks] ROOT\n", stderr);
        return 2;
    }
    g_root = argv[argc - 1];
    const std::vector<std::string> roots = g_symlinks ? std::vector<std::string>{"", "/C"}
                                                      : std::vector<std::string>{"", "/C", "/I", "/L", "/mkdir"};
    for (const std::string& dir : roots)
        if (::mkdir((g_root + dir).c_str(), 0777) != 0 && errno != EEXIST) Die(g_root + dir);
    MakeDir("C:");  // the root's files

    // Plain directories, level by level; directory i of a level lies in
    // directory i % (size of the level above) of the level above.
    const std::vector<int> sizes = {10, 100, 1000, 10000, kDirectories - kJunctions - 11110 - (kDeepLevels + 1)};
    const char prefixes[] = "abcde";
    std::vector<std::vector<std::string>> levels;
    int made = 0;
    for (std::size_t level = 0; level < sizes.size(); ++level) {
        std::vector<std::string> paths;
        for (int i = 0; i < sizes[level]; ++i) {
            std::string parent = level ? levels[level - 1][i % sizes[level - 1]] : std::string("C:");
            paths.push_back(parent + "\\" + Name(prefixes[level], static_cast<int>(level) + 1, i));
            MakeDir(paths.back());
            ++made;
        }
        levels.push_back(std::move(paths));
    }
    std::string deep = "C:\\deep";
    MakeDir(deep);
    std::vector<std::string> chain = {deep};
    for (int level = 2; level <= kDeepLevels; ++level) {
        chain.push_back(chain.back() + "\\l" + std::to_string(level));
        MakeDir(chain.back());
    }
    MakeDir(deep + "\\leaf");
    made += kDeepLevels + 1;

    // Two junctions to ancestors in the folder at depth 10, the rest in
    // level-4 folders: to that folder itself, to its level-2 ancestor, or to
    // a level-5 folder elsewhere.
    MakeJunction(chain.back() + "\\up1", chain[0]);
    MakeJunction(chain.back() + "\\up2", chain[1]);
    const std::vector<std::string>& holders = levels[3];
    for (int j = 2; j < kJunctions; ++j) {
        int h = static_cast<int>((static_cast<long long>(j) * 7919) % sizes[3]);
        const std::string& holder = holders[h];
        std::string target = j % 3 == 0   ? holder
                             : j % 3 == 1 ? levels[1][h % sizes[1]]
                                          : levels[4][(j * 104729) % sizes[4]];
        MakeJunction(holder + "\\" + Name('j', 4, j), target);
    }
    made += kJunctions;
    if (g_symlinks) {
        std::printf("%d directories (%d of them symbolic links) and %d files on C:\n", made, kJunctions,
                    (made - kJunctions + 1) * kFilesPerFolder);
        return 0;
    }

    // The import list and the same directories for mkdir -p.
    std::string list, mkdirList;
    for (int i = 0; i < kImportLines; ++i) {
        std::string dir = Name('g', 2, i / 1000) + "\\" + Name('h', 3, i / 100) + "\\" + Name('k', 5, i);
        list += "+I:\\" + dir + "->" + levels[2][i % sizes[2]] + "\r\n";
        std::string host = g_root + "/mkdir/" + dir;
        for (char& c : host)
            if (c == '\\') c = '/';
        mkdirList += host + "\n";
    }
    WriteText(g_root + "/L/import.trs", list);
    WriteText(g_root + "/L/mkdir.txt", mkdirList);
    std::printf("%d directories (%d junctions) and %d files on C:, %d import lines\n", made, kJunctions,
                (made - kJunctions + 1) * kFilesPerFolder, kImportLines);
    return 0;
}
