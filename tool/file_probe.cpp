#include "tool/file_probe.h"

#include <algorithm>
#include <condition_variable>
#include <cwctype>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace probe {

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool IsDriveLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

// End of the n-th component after start (n >= 1), or npos when there are fewer.
std::size_t ComponentsEnd(const std::wstring& path, std::size_t start, int n) {
    std::size_t at = start;
    for (int i = 0; i < n; ++i) {
        const std::size_t from = at;
        while (at < path.size() && !IsSeparator(path[at])) ++at;
        if (at == from) return std::wstring::npos;  // an empty component
        if (i + 1 < n) {
            if (at == path.size()) return std::wstring::npos;
            ++at;
        }
    }
    return at;
}

std::wstring WithBackslashes(std::wstring text) {
    for (wchar_t& c : text) {
        if (c == L'/') c = L'\\';
    }
    return text;
}

// The work on one root, shared between its thread and the caller, which may
// stop waiting for it: the thread then finishes (or hangs) on its own.
struct RootWork {
    std::wstring root;
    std::vector<std::size_t> paths;  // indices into the caller's paths
    std::vector<Answer> answers;     // for paths[0 .. answers.size())
    bool finished = false;
    std::chrono::steady_clock::time_point lastAnswer;
};

struct Shared {
    std::mutex mutex;
    std::condition_variable answered;
    std::vector<RootWork> roots;
    std::vector<std::wstring> paths;
    Probe probeRoot;
    Probe probePath;
};

void Work(const std::shared_ptr<Shared>& shared, std::size_t index) {
    std::wstring root;
    std::vector<std::wstring> paths;
    {
        std::lock_guard<std::mutex> lock(shared->mutex);
        root = shared->roots[index].root;
        for (std::size_t i : shared->roots[index].paths) paths.push_back(shared->paths[i]);
    }
    Answer rootAnswer;
    if (!root.empty()) rootAnswer = shared->probeRoot(root);
    for (const std::wstring& path : paths) {
        Answer answer;
        if (rootAnswer.found == Found::Exists) {
            answer = shared->probePath(path);
        } else {
            answer = {Found::CannotCheck, rootAnswer.reason, rootAnswer.japaneseReason};
        }
        std::lock_guard<std::mutex> lock(shared->mutex);
        shared->roots[index].answers.push_back(std::move(answer));
        shared->roots[index].lastAnswer = std::chrono::steady_clock::now();
        shared->answered.notify_all();
    }
    std::lock_guard<std::mutex> lock(shared->mutex);
    shared->roots[index].finished = true;
    shared->answered.notify_all();
}

std::string SecondsText(std::chrono::milliseconds timeout) {
    const auto ms = timeout.count();
    if (ms % 1000 == 0) return std::to_string(ms / 1000) + (ms == 1000 ? " second" : " seconds");
    return std::to_string(ms) + " ms";
}

std::string JapaneseSecondsText(std::chrono::milliseconds timeout) {
    const auto ms = timeout.count();
    if (ms % 1000 == 0) return std::to_string(ms / 1000) + " 秒";
    return std::to_string(ms) + " ミリ秒";
}

// What the paths of a root that stopped answering are told.
Answer Silent(const std::wstring& root, std::chrono::milliseconds timeout) {
    return {Found::CannotCheck,
            std::string(root.empty() ? "the check" : "its drive or share") + " did not answer within " +
                SecondsText(timeout),
            std::string(root.empty() ? "確認が " : "ドライブまたは共有が ") + JapaneseSecondsText(timeout) +
                "以内に応答しませんでした"};
}

}  // namespace

std::wstring PathRoot(const std::wstring& path) {
    const std::wstring p = WithBackslashes(path);
    if (p.size() >= 2 && IsDriveLetter(p[0]) && p[1] == L':') {
        return p.size() >= 3 && p[2] == L'\\' ? p.substr(0, 3) : std::wstring();  // "C:x" is relative
    }
    if (p.rfind(L"\\\\?\\UNC\\", 0) == 0 || p.rfind(L"\\\\.\\UNC\\", 0) == 0) {
        const std::size_t end = ComponentsEnd(p, 8, 2);
        return end == std::wstring::npos ? std::wstring() : p.substr(0, end) + L'\\';
    }
    if (p.rfind(L"\\\\?\\", 0) == 0 || p.rfind(L"\\\\.\\", 0) == 0) {
        const std::size_t end = ComponentsEnd(p, 4, 1);
        return end == std::wstring::npos ? std::wstring() : p.substr(0, end) + L'\\';
    }
    if (p.rfind(L"\\\\", 0) == 0) {
        const std::size_t end = ComponentsEnd(p, 2, 2);
        return end == std::wstring::npos ? std::wstring() : p.substr(0, end) + L'\\';
    }
    return {};
}

std::vector<Answer> CheckPaths(const std::vector<std::wstring>& paths, const Probe& probeRoot, const Probe& probePath,
                               std::chrono::milliseconds timeout) {
    auto shared = std::make_shared<Shared>();
    shared->paths = paths;
    shared->probeRoot = probeRoot;
    shared->probePath = probePath;
    // Roots compare without regard to case, as Windows compares them.
    std::map<std::wstring, std::size_t> rootIndex;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const std::wstring root = PathRoot(paths[i]);
        std::wstring key = root;
        for (wchar_t& c : key) c = static_cast<wchar_t>(std::towupper(c));
        auto [it, added] = rootIndex.emplace(key, shared->roots.size());
        if (added) shared->roots.push_back(RootWork{root, {}, {}, false, {}});
        shared->roots[it->second].paths.push_back(i);
    }

    std::vector<bool> givenUp(shared->roots.size(), false);
    std::unique_lock<std::mutex> lock(shared->mutex);
    const auto start = std::chrono::steady_clock::now();
    for (std::size_t r = 0; r < shared->roots.size(); ++r) {
        shared->roots[r].lastAnswer = start;
        std::thread(Work, shared, r).detach();
    }
    for (;;) {
        const auto now = std::chrono::steady_clock::now();
        auto nextDeadline = std::chrono::steady_clock::time_point::max();
        bool waiting = false;
        for (std::size_t r = 0; r < shared->roots.size(); ++r) {
            const RootWork& work = shared->roots[r];
            if (work.finished || givenUp[r]) continue;
            const auto deadline = work.lastAnswer + timeout;
            if (deadline <= now) {
                givenUp[r] = true;
                continue;
            }
            waiting = true;
            nextDeadline = std::min(nextDeadline, deadline);
        }
        if (!waiting) break;
        shared->answered.wait_until(lock, nextDeadline);
    }

    std::vector<Answer> answers(paths.size());
    for (const RootWork& work : shared->roots) {
        const Answer silent = Silent(work.root, timeout);
        for (std::size_t k = 0; k < work.paths.size(); ++k) {
            answers[work.paths[k]] = k < work.answers.size() ? work.answers[k] : silent;
        }
    }
    return answers;
}

}  // namespace probe
