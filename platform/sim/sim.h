#pragma once
// Test controls of the simulated platform: fault injection, call accounting
// and the open-handle count. Only the native build has them.
//
// The simulated file system itself is configured by the environment:
//   TARSIO_SIM_ROOT=DIR  drive X: is DIR/X when that is a directory; the file
//                        DIR/X.drive may hold "TYPE FSNAME" (TYPE one of
//                        fixed removable remote cdrom ramdisk); a drive
//                        without it is fixed and NTFS. A drive with X.drive
//                        but no DIR/X is a drive without medium. A third
//                        word "ntfs-3g" says DIR/X is on an ntfs-3g mount,
//                        whose own reparse data and attributes it uses.
//   TARSIO_SIM_CWD       the current directory, "C:\" by default.
// See platform/sim/README.md for the host layout and what differs from NTFS.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sim/win_types.h"

namespace sim {

// Kernel handles (files, directories, listings) open right now.
int OpenHandleCount();

// Makes calls fail with `error` instead of doing their work. Counting starts
// when the fault is set; `occurrence` is 1-based, 0 fails every matching call.
void FailCall(std::string_view call, int occurrence, DWORD error);
// "CloseHandle" fails by name only (FailCall) and still frees the handle.
// Fails every call of `call` whose path argument begins with `pathPrefix`.
void FailCallOnPath(std::string_view call, std::string_view pathPrefix, DWORD error);
// Fails the n-th (1-based) call that can fail, whatever its name.
void FailNthCall(int n, DWORD error);
// Runs `action` as the `occurrence`-th (1-based) call of `call` begins,
// before that call does anything: another program acting between two calls.
// The calls the action makes are not counted, logged, failed or acted on.
void BeforeCall(std::string_view call, int occurrence, std::function<void()> action);
// Runs `action` between the `occurrence`-th call of `call` and the next call
// that can fail (BeforeCall's, as that one begins).
void BetweenCalls(std::string_view call, int occurrence, std::function<void()> action);
// Another program that may write in the folder above `folder` swaps it for
// a junction, BetweenCalls: renames `folder` to `movedTo` (a name beside
// it) and puts an empty folder in its place that leads to `destination`
// (Windows paths).
void SwapForJunction(std::string_view call, int occurrence, const std::string& folder, const std::string& movedTo,
                     const std::string& destination);
// Clears the faults and the actions.
void ClearFaults();

// Names of the calls that can fail, in order, since the last reset.
void ResetCallLog();
std::vector<std::string> CallLog();
// Calls of one name since the last reset.
std::size_t CallCount(std::string_view call);

}  // namespace sim
