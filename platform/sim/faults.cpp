// Fault injection, call accounting and the last-error value of the
// simulated platform.

#include <sys/stat.h>

#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/os.h"
#include "platform/sim/codepage.h"
#include "platform/sim/core.h"
#include "platform/sim/sim.h"

namespace sim {
namespace {

thread_local DWORD g_lastError = 0;

struct FaultRule {
    std::string call;        // empty for a rule by overall position
    int occurrence = 0;      // 1-based; 0 for every matching call
    std::string pathPrefix;  // empty: any path
    DWORD error = 0;
    int seen = 0;
};

struct Action {
    std::string call;
    int occurrence = 0;
    std::function<void()> run;
    int seen = 0;
    bool between = false;  // runs as the next call begins
};

struct Accounting {
    std::vector<FaultRule> rules;
    std::vector<Action> actions;
    std::vector<std::function<void()>> due;  // BetweenCalls actions, for the next call
    bool acting = false;
    std::map<std::string, std::size_t, std::less<>> counts;
    std::vector<std::string> log;
    bool logging = false;
};

Accounting& Calls() {
    static Accounting a;
    return a;
}

bool Matches(FaultRule& rule, std::string_view call, std::string_view path, int position) {
    if (rule.call.empty()) return position == rule.occurrence;
    if (rule.call != call) return false;
    if (!rule.pathPrefix.empty()) return path.substr(0, rule.pathPrefix.size()) == rule.pathPrefix;
    ++rule.seen;
    return rule.occurrence == 0 || rule.seen == rule.occurrence;
}

int g_position = 0;  // injectable calls since the last FailNthCall

}  // namespace

void SetError(DWORD error) { g_lastError = error; }

bool Enter(std::string_view call, std::string_view path) {
    Accounting& a = Calls();
    // Another program's calls: neither counted nor failed.
    if (a.acting) return false;
    auto it = a.counts.find(call);
    if (it == a.counts.end()) it = a.counts.emplace(std::string(call), 0).first;
    ++it->second;
    if (a.logging) a.log.emplace_back(call);
    ++g_position;
    std::vector<std::function<void()>> now = std::exchange(a.due, {});
    for (std::size_t i = 0; i < a.actions.size(); ++i) {
        if (a.actions[i].call != call || ++a.actions[i].seen != a.actions[i].occurrence) continue;
        (a.actions[i].between ? a.due : now).push_back(a.actions[i].run);
    }
    a.acting = true;
    for (const std::function<void()>& run : now) run();
    a.acting = false;
    for (FaultRule& rule : a.rules) {
        if (Matches(rule, call, path, g_position)) {
            SetError(rule.error);
            return true;
        }
    }
    return false;
}

bool EnterRelease(std::string_view call) {
    Accounting& a = Calls();
    if (a.acting) return false;
    auto it = a.counts.find(call);
    if (it == a.counts.end()) it = a.counts.emplace(std::string(call), 0).first;
    ++it->second;
    for (FaultRule& rule : a.rules) {
        if (!rule.call.empty() && Matches(rule, call, {}, 0)) {
            SetError(rule.error);
            return true;
        }
    }
    return false;
}

void FailCall(std::string_view call, int occurrence, DWORD error) {
    Calls().rules.push_back(FaultRule{std::string(call), occurrence, {}, error, 0});
}

void FailCallOnPath(std::string_view call, std::string_view pathPrefix, DWORD error) {
    Calls().rules.push_back(FaultRule{std::string(call), 0, std::string(pathPrefix), error, 0});
}

void FailNthCall(int n, DWORD error) {
    g_position = 0;
    Calls().rules.push_back(FaultRule{{}, n, {}, error, 0});
}

void BeforeCall(std::string_view call, int occurrence, std::function<void()> action) {
    Calls().actions.push_back(Action{std::string(call), occurrence, std::move(action), 0});
}

void BetweenCalls(std::string_view call, int occurrence, std::function<void()> action) {
    Calls().actions.push_back(Action{std::string(call), occurrence, std::move(action), 0, true});
}

void SwapForJunction(std::string_view call, int occurrence, const std::string& folder, const std::string& movedTo,
                     const std::string& destination) {
    BetweenCalls(call, occurrence, [=] {
        Location loc;
        if (Locate(*FromAnsi(folder.c_str()), false, loc) != ERROR_SUCCESS) return;
        const std::string moved = loc.host.substr(0, loc.host.rfind('/') + 1) + movedTo;
        // The mount point's layout: the substitute name, then an empty print name.
        const std::u16string name = u"\\??\\" + Utf8ToUtf16(destination);
        const auto n = static_cast<std::uint16_t>(name.size() * 2);
        std::vector<std::uint8_t> data = {0x03, 0x00, 0x00, 0xA0};
        for (std::uint16_t word : {static_cast<std::uint16_t>(n + 12), std::uint16_t(0), std::uint16_t(0), n,
                                   static_cast<std::uint16_t>(n + 2), std::uint16_t(0)})
            data.insert(data.end(), {static_cast<std::uint8_t>(word), static_cast<std::uint8_t>(word >> 8)});
        for (char16_t c : name)
            data.insert(data.end(), {static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8)});
        data.resize(data.size() + 4);
        if (std::rename(HostArg(loc.host).c_str(), HostArg(moved).c_str()) == 0 &&
            ::mkdir(HostArg(loc.host).c_str(), 0777) == 0)
            WriteReparse(loc.host, data.data(), data.size());
        Changed();
    });
}

void ClearFaults() {
    Calls().rules.clear();
    Calls().actions.clear();
    Calls().due.clear();
}

void ResetCallLog() {
    Accounting& a = Calls();
    a.counts.clear();
    a.log.clear();
    a.logging = true;
}

std::vector<std::string> CallLog() { return Calls().log; }

std::size_t CallCount(std::string_view call) {
    auto it = Calls().counts.find(call);
    return it == Calls().counts.end() ? 0 : it->second;
}

}  // namespace sim

namespace os {

void SetLastError(DWORD error) { sim::SetError(error); }
DWORD GetLastError() { return sim::g_lastError; }

}  // namespace os
