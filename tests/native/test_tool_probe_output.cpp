// favtool's window-free parts: the file checks that give up on roots that
// do not answer, and output written in chunks.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "tool/file_probe.h"
#include "tool/output_chunks.h"

using namespace std::chrono_literals;
using probe::Answer;
using probe::Found;

namespace {

TEST(FavtoolPathRoot, NamesTheDriveOrShareAPathLivesOn) {
    const std::map<std::wstring, std::wstring> roots = {
        {L"C:\\a\\b.txt", L"C:\\"},
        {L"c:/a/b.txt", L"c:\\"},
        {L"C:\\", L"C:\\"},
        {L"\\\\server\\share\\dir\\f.txt", L"\\\\server\\share\\"},
        {L"//server/share/f.txt", L"\\\\server\\share\\"},
        {L"\\\\server\\share", L"\\\\server\\share\\"},
        {L"\\\\?\\C:\\long\\path", L"\\\\?\\C:\\"},
        {L"\\\\?\\UNC\\server\\share\\x", L"\\\\?\\UNC\\server\\share\\"},
        // No root of their own: relative to the current drive or folder.
        {L"C:relative.txt", L""},
        {L"relative\\x.txt", L""},
        {L"\\on\\current\\drive", L""},
        {L"\\\\server", L""},
        {L"", L""},
    };
    for (const auto& [path, root] : roots) {
        EXPECT_EQ(root, probe::PathRoot(path)) << std::string(path.begin(), path.end());
    }
}

// Holds back the probes that wait on it until it opens.
class Gate {
public:
    void Open() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_open = true;
        m_cv.notify_all();
    }
    void Wait() {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_cv.wait(lock, [this] { return m_open; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_open = false;
};

TEST(FavtoolCheckPaths, SortsMissingFromUncheckableAndProbesEachRootOnce) {
    std::mutex mutex;
    std::map<std::wstring, int> rootProbes;
    const probe::Probe probeRoot = [&](const std::wstring& root) {
        std::lock_guard<std::mutex> lock(mutex);
        ++rootProbes[root];
        return root == L"Q:\\" ? Answer{Found::CannotCheck, "not ready", "準備ができていません"} : Answer{};
    };
    const probe::Probe probePath = [](const std::wstring& path) {
        if (path.find(L"gone") != std::wstring::npos) return Answer{Found::Missing, {}, {}};
        if (path.find(L"locked") != std::wstring::npos) return Answer{Found::CannotCheck, "access denied", "アクセスが拒否されました"};
        return Answer{};
    };
    const std::vector<std::wstring> paths = {L"C:\\a.txt", L"c:\\gone.txt", L"Q:\\x.txt", L"q:\\y.txt",
                                             L"C:\\locked.txt", L"relative-gone.txt"};
    const std::vector<Answer> answers = probe::CheckPaths(paths, probeRoot, probePath, 2s);
    ASSERT_EQ(paths.size(), answers.size());
    EXPECT_EQ(Found::Exists, answers[0].found);
    EXPECT_EQ(Found::Missing, answers[1].found);
    EXPECT_EQ(Found::CannotCheck, answers[2].found);
    EXPECT_EQ("not ready", answers[3].reason) << "the paths of a root that cannot be checked take its reason";
    EXPECT_EQ("準備ができていません", answers[3].japaneseReason) << "in both languages";
    EXPECT_EQ("access denied", answers[4].reason);
    EXPECT_EQ(Found::Missing, answers[5].found) << "paths without a root are checked too";
    EXPECT_EQ((std::map<std::wstring, int>{{L"C:\\", 1}, {L"Q:\\", 1}}), rootProbes) << "roots compare ignoring case";
}

TEST(FavtoolCheckPaths, GivesUpOnRootsThatDoNotAnswerAndWaitsForThemTogether) {
    // Shared with the probes' threads, which outlive the call that gives up on them.
    auto gate = std::make_shared<Gate>();
    auto pathProbes = std::make_shared<std::atomic<int>>(0);
    const probe::Probe probeRoot = [gate](const std::wstring& root) {
        if (root.find(L"dead") != std::wstring::npos) gate->Wait();
        return Answer{};
    };
    const probe::Probe probePath = [gate, pathProbes](const std::wstring& path) {
        ++*pathProbes;
        if (path.find(L"hangs") != std::wstring::npos) gate->Wait();
        return Answer{};
    };
    const std::vector<std::wstring> paths = {L"\\\\dead1\\share\\a", L"C:\\a", L"\\\\dead2\\share\\b",
                                             L"\\\\slow\\share\\ok", L"\\\\slow\\share\\hangs",
                                             L"\\\\slow\\share\\after", L"\\\\dead1\\share\\c"};
    const auto start = std::chrono::steady_clock::now();
    const std::vector<Answer> answers = probe::CheckPaths(paths, probeRoot, probePath, 300ms);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took, 2s) << "three silent roots cost about one timeout, not three";
    EXPECT_GE(took, 250ms);
    EXPECT_EQ(Found::CannotCheck, answers[0].found);
    EXPECT_NE(std::string::npos, answers[0].reason.find("did not answer within 300 ms")) << answers[0].reason;
    EXPECT_EQ("ドライブまたは共有が 300 ミリ秒以内に応答しませんでした", answers[0].japaneseReason);
    EXPECT_EQ(Found::Exists, answers[1].found);
    EXPECT_EQ(Found::CannotCheck, answers[2].found);
    EXPECT_EQ(Found::Exists, answers[3].found) << "answers before a root fell silent are kept";
    EXPECT_EQ(Found::CannotCheck, answers[4].found);
    EXPECT_EQ(Found::CannotCheck, answers[5].found) << "the rest of a silent root is skipped";
    EXPECT_EQ(Found::CannotCheck, answers[6].found);
    EXPECT_EQ(3, pathProbes->load()) << "nothing is probed below a root that does not answer";
    gate->Open();
}

TEST(FavtoolOutputChunks, EveryUnitArrivesInWritesTheConsoleTakes) {
    // A console that refuses writes above a limit and takes at most 700 units a call.
    std::u16string text;
    for (int i = 0; i < 5000; ++i) text += i % 7 == 0 ? u"\U0001F600" : u"字";
    std::u16string received;
    std::size_t calls = 0;
    bool splitPair = false;
    const bool ok = output::WriteInChunks(text.data(), text.size(), 1000,
                                          [&](const char16_t* data, std::size_t n, std::size_t& written) {
                                              ++calls;
                                              if (n > 1000) return false;
                                              splitPair = splitPair || output::IsHighSurrogate(data[n - 1]);
                                              written = std::min<std::size_t>(n, 700);
                                              received.append(data, written);
                                              return true;
                                          });
    EXPECT_TRUE(ok);
    EXPECT_EQ(text, received);
    EXPECT_FALSE(splitPair) << "no offered chunk ends inside a character";
    EXPECT_GE(calls, text.size() / 700);

    // A write that fails or takes nothing ends the output as failed.
    std::size_t attempts = 0;
    EXPECT_FALSE(output::WriteInChunks(text.data(), text.size(), 1000,
                                       [&](const char16_t*, std::size_t, std::size_t& written) {
                                           written = 0;
                                           return ++attempts == 1;
                                       }));
    EXPECT_EQ(1u, attempts);
}

}  // namespace
