// Several editor processes on one copy of the plug-in (one key, one writers'
// lock) at once, with favtool imports in between and one more editor killed
// while it holds the lock in the middle of a save. Each editor process
// (tests/win/multi_writer/editor_process.cpp) follows what is stored, adds a
// favourite of its own by a shell drop, saves, and notes which of its own it
// found stored after its save; this driver starts them, imports, kills, and
// checks what the key holds once they are done.
//
// Sizes: FAV_MULTI_ROUNDS rounds per editor (6 by default; scripts/soak runs
// more), three editors, an import after every two rounds of them all.
#include "tests/win/fixture.h"

#include <cstdio>
#include <set>

#include "store/registry_values.h"
#include "tests/win/multi_writer/child_process.h"
#include "tests/win/multi_writer/protocol.h"
#include "tests/win/multi_writer/run_files.h"
#include "tests/win/multi_writer/stored_key.h"
#include "tests/win/sizing.h"

namespace {

using multiwriter::ChildProcess;

constexpr int kEditors = 3;
// Hang guards only. One round takes well under a second.
constexpr DWORD kHangGuardMs = 120 * 1000;
// A bar compares the stored bytes of a value written in the same clock tick
// as the one it last loaded only once that tick is this far past (README:
// a second save within 2 s of its own write reads the value back).
constexpr ULONGLONG kSameTickGuardTicks = 2 * 10'000'000ULL + 2'000'000ULL;

std::wstring BinDirectory() {
    const std::wstring dll = FavoritesDllPath();
    return dll.substr(0, dll.find_last_of(L'\\'));
}

std::wstring Number(int n) { return std::to_wstring(n); }

std::wstring EditorName(int index) { return L"editor" + Number(index + 1); }

// "label/level/image[+]" per item, as the editors write their trees.
std::vector<std::wstring> OutlineOf(const std::vector<StoredRecord>& records) {
    std::vector<std::wstring> lines;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const StoredRecord& r = records[i];
        const bool hasChildren = i + 1 < records.size() && records[i + 1].depth > r.depth;
        lines.push_back(r.label + L"/" + Number(r.depth) + L"/" + Number(r.folder ? 0 : 2) +
                        (r.folder && r.expanded && hasChildren ? L"+" : L""));
    }
    return lines;
}

// What one process noted: the favourites it added and those of its own it
// found stored right after its own save, by label, with the round.
struct ProcessLog {
    std::map<std::wstring, int> added;
    std::map<std::wstring, int> seen;
    std::vector<std::wstring> troubles;  // drops the bar did not take, values that did not read
};

ProcessLog ReadProcessLog(const std::wstring& path) {
    ProcessLog log;
    for (const std::wstring& line : multiwriter::ReadLines(path)) {
        const std::size_t first = line.find(L' ');
        const std::size_t second = line.find(L' ', first + 1);
        const std::wstring what = line.substr(0, first);
        const int round = _wtoi(line.substr(first + 1, second - first - 1).c_str());
        const std::wstring label = second == std::wstring::npos ? L"" : line.substr(second + 1);
        if (what == L"added") {
            log.added[label] = round;
        } else if (what == L"seen") {
            log.seen.emplace(label, round);
        } else {
            log.troubles.push_back(line);
        }
    }
    return log;
}

}  // namespace

class SeveralProcessesTest : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        m_rounds = static_cast<int>(SizeFromEnvironment("FAV_MULTI_ROUNDS", 6));
        m_pauseAfter = m_rounds / 2;
        wchar_t temp[MAX_PATH] = {};
        ::GetTempPathW(MAX_PATH, temp);
        m_folder = std::wstring(temp) + Stem();
        ASSERT_TRUE(::CreateDirectoryW(m_folder.c_str(), nullptr));
        ASSERT_TRUE(::CreateDirectoryW(multiwriter::HistoryFolder(m_folder).c_str(), nullptr));
        m_tag = Stem();
        m_resume = NamedEvent(multiwriter::ResumeEvent(m_tag));
        m_lastRound = NamedEvent(multiwriter::LastRoundEvent(m_tag));
        m_stop = NamedEvent(multiwriter::StopEvent(m_tag));
        m_roundsDone.reset(::CreateSemaphoreW(nullptr, 0, 1 << 30, multiwriter::RoundSemaphore(m_tag).c_str()));
        for (int i = 0; i < kEditors; ++i) {
            m_paused.push_back(NamedEvent(multiwriter::PausedEvent(m_tag, EditorName(i))));
            m_done.push_back(NamedEvent(multiwriter::DoneEvent(m_tag, EditorName(i))));
        }
    }

    static UniqueKernelHandle NamedEvent(const std::wstring& name) {
        return UniqueKernelHandle(::CreateEventW(nullptr, TRUE, FALSE, name.c_str()));
    }

    void TearDown() override {
        for (ChildProcess& editor : m_editors) editor.End();
        m_saver.End();
        // What a failed run left is kept for a look.
        if (HasFailure()) {
            std::printf("the processes' logs and outlines are in %s\n", favstore::Utf8(m_folder).c_str());
        } else {
            multiwriter::RemoveFolder(multiwriter::HistoryFolder(m_folder));
            multiwriter::RemoveFolder(m_folder);
        }
        PluginTest::TearDown();
    }

    // An editor process; 0 rounds: the saver.
    void StartEditor(ChildProcess& process, const std::wstring& name, int rounds) {
        ASSERT_TRUE(process.Start(BinDirectory() + L"\\multi_writer_editor.exe",
                                  {DllCopy(), KeyPath(), m_folder, m_tag, name, Number(rounds), Number(m_pauseAfter)},
                                  m_folder + L"\\" + name + L".out"))
            << "cannot start the editor process, error " << ::GetLastError();
    }

    // Waits for one more round finished by any editor; fails at once when
    // an editor process ends early.
    void WaitForRound() {
        std::vector<HANDLE> handles = {m_roundsDone.get()};
        for (const ChildProcess& editor : m_editors) handles.push_back(editor.Process());
        const DWORD result =
            ::WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, kHangGuardMs);
        ASSERT_EQ(WAIT_OBJECT_0, result) << (result == WAIT_TIMEOUT ? "no editor finished a round (hang)"
                                                                    : "an editor process ended early");
    }

    // count more rounds of them all; with imports, one after every two
    // rounds' worth, while the editors go on.
    void RunRounds(int count, bool withImports) {
        for (int i = 0; i < count; ++i) {
            ASSERT_NO_FATAL_FAILURE(WaitForRound());
            if (++m_roundsFinished % (2 * kEditors) == 2 && withImports) {
                ASSERT_NO_FATAL_FAILURE(Import());
            }
        }
    }

    // Waits until each editor has set its event (or fails when it ended first).
    void WaitForEach(const std::vector<UniqueKernelHandle>& events, const char* what) {
        for (int i = 0; i < kEditors; ++i) {
            const HANDLE handles[] = {events[i].get(), m_editors[i].Process()};
            const DWORD result = ::WaitForMultipleObjects(2, handles, FALSE, kHangGuardMs);
            ASSERT_EQ(WAIT_OBJECT_0, result) << favstore::Utf8(EditorName(i)) << " never " << what
                                             << (result == WAIT_TIMEOUT ? " (hang)" : " (it ended)");
        }
    }

    // favtool replaces the tree with a folder holding one favourite and one
    // favourite beside it, keeping what it replaced in the history. It
    // refuses when the value changed between its look and its locked write
    // (it says what it replaces): run again then, as a person would.
    void Import() {
        const int n = ++m_imports;
        const std::wstring a = L"imported" + Number(n) + L"-a.txt";
        const std::wstring b = L"imported" + Number(n) + L"-b.txt";
        const std::string document =
            R"({"version": 1, "favorites": [{"label": "Imported )" + std::to_string(n) +
            R"(", "folder": true, "expanded": true, "items": [{"label": ")" + favstore::Utf8(a) +
            R"(", "path": "C:\\multi\\)" + favstore::Utf8(a) + R"("}]}, {"label": ")" + favstore::Utf8(b) +
            R"(", "path": "C:\\multi\\)" + favstore::Utf8(b) + R"("}]})";
        const std::wstring file = m_folder + L"\\import" + Number(n) + L".json";
        ASSERT_TRUE(multiwriter::WriteText(file, document));
        const std::wstring output = m_folder + L"\\import" + Number(n) + L".out";
        for (int attempt = 1;; ++attempt) {
            ChildProcess favtool;
            ASSERT_TRUE(
                favtool.Start(BinDirectory() + L"\\favtool.exe", {L"--module", Stem(), L"import", file}, output));
            DWORD status = 0;
            ASSERT_TRUE(favtool.Wait(kHangGuardMs, status)) << "favtool import hangs";
            if (status == 0) break;
            const std::string said = ReadText(output);
            ASSERT_EQ(0u, said.find("favtool: FavoriteArray changed ")) << "favtool import " << n << " failed:\n"
                                                                          << said;
            ASSERT_NE(std::string::npos, said.find("; nothing written")) << said;
            ++m_importsRefused;
            // A hang guard: each refusal needs an editor's write in between.
            ASSERT_LT(attempt, 100) << "favtool import " << n << " refused every time";
        }
        m_imported.insert(a);
        m_imported.insert(b);
        multiwriter::ArchiveHistory(KeyPath(), multiwriter::HistoryFolder(m_folder));
    }

    // Probes, with the saver's thread held still each time, until the
    // writers' lock is the saver's (nothing else of the run writes then),
    // and kills it there: its lock is left abandoned.
    void KillTheSaverHoldingTheLock() {
        const UniqueKernelHandle lock(
            ::CreateMutexW(nullptr, FALSE, favstore::WritersLockName(KeyPath().c_str()).c_str()));
        ASSERT_TRUE(lock);
        const DWORD start = ::GetTickCount();
        for (m_probes = 1; ::GetTickCount() - start < kHangGuardMs; ++m_probes) {
            ASSERT_TRUE(m_saver.Running()) << "the saver ended before it was killed";
            ASSERT_NE(static_cast<DWORD>(-1), ::SuspendThread(m_saver.Thread()));
            // Returns once the thread has really stopped.
            CONTEXT context = {};
            context.ContextFlags = CONTEXT_CONTROL;
            ::GetThreadContext(m_saver.Thread(), &context);
            const DWORD wait = ::WaitForSingleObject(lock.get(), 0);
            if (wait == WAIT_TIMEOUT) {
                m_saver.Kill();
                return;
            }
            ASSERT_NE(WAIT_ABANDONED, wait) << "the lock was left abandoned before the kill";
            if (wait == WAIT_OBJECT_0) ::ReleaseMutex(lock.get());
            ::ResumeThread(m_saver.Thread());
            // Stops it at other points of its loop next time.
            ::Sleep(static_cast<DWORD>(m_probes % 5));
        }
        FAIL() << "the saver never held the writers' lock in " << m_probes << " probes";
    }

    // Until a write made in the same clock tick as the last one would show
    // to any bar that loaded the value before it.
    void WaitPastSameTickGuard() const {
        HKEY raw = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, ::RegOpenKeyExW(HKEY_CURRENT_USER, KeyPath().c_str(), 0, KEY_READ, &raw));
        const UniqueRegKey key(raw);
        FILETIME written = {};
        ASSERT_EQ(ERROR_SUCCESS, ::RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                                    nullptr, nullptr, nullptr, nullptr, &written));
        FILETIME now = {};
        ::GetSystemTimeAsFileTime(&now);
        const ULONGLONG until = Ticks(written) + kSameTickGuardTicks;
        if (Ticks(now) < until) ::Sleep(static_cast<DWORD>((until - Ticks(now)) / 10'000));
    }

    static ULONGLONG Ticks(FILETIME time) {
        return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    }

    static std::string ReadText(const std::wstring& path) {
        std::string text;
        for (const std::wstring& line : multiwriter::ReadLines(path)) text += favstore::Utf8(line) + "\n";
        return text;
    }

    // Once every editor is done: what the key holds, read when any bar
    // that loaded before the last write can tell it; then each editor's last
    // flush and its end.
    void Finish(std::vector<BYTE>& finalValue, multiwriter::Entries& history) {
        ASSERT_NO_FATAL_FAILURE(WaitPastSameTickGuard());
        finalValue = multiwriter::ReadFavoriteArray(KeyPath());
        history = multiwriter::ReadHistory(KeyPath());
        multiwriter::ArchiveHistory(KeyPath(), multiwriter::HistoryFolder(m_folder));
        ::SetEvent(m_stop.get());
        for (int i = 0; i < kEditors; ++i) {
            DWORD status = 0;
            ASSERT_TRUE(m_editors[i].Wait(kHangGuardMs, status)) << favstore::Utf8(EditorName(i)) << " hangs at its end";
            EXPECT_EQ(0u, status) << favstore::Utf8(EditorName(i));
        }
        EXPECT_EQ(finalValue, multiwriter::ReadFavoriteArray(KeyPath())) << "an editor wrote as it closed";
    }

    // The labels of the final value and of every history entry ever made
    // (those the history dropped since included); each entry must load
    // completely.
    std::set<std::wstring> KeptLabels(const std::vector<StoredRecord>& finalRecords,
                                      const multiwriter::Entries& everEntries) {
        std::set<std::wstring> kept;
        for (const StoredRecord& r : finalRecords) kept.insert(r.label);
        for (const auto& entry : everEntries) {
            const auto records = ParseStoredValue(entry.second);
            EXPECT_TRUE(records) << "history entry " << favstore::Utf8(entry.first) << " does not load completely";
            if (!records) continue;
            for (const StoredRecord& r : *records) kept.insert(r.label);
            if (entry.first.find(L"other writer") != std::wstring::npos) ++m_conflicts;
        }
        return kept;
    }

    // What any process saw stored after its own save, what a live editor
    // added and what favtool imported, and is not kept.
    std::vector<std::string> Lost(const std::set<std::wstring>& kept, const std::vector<ProcessLog>& logs,
                                  const ProcessLog& saverLog) const {
        std::vector<std::string> lost;
        for (int i = 0; i <= kEditors; ++i) {
            const ProcessLog& log = i < kEditors ? logs[i] : saverLog;
            const std::string who = i < kEditors ? favstore::Utf8(EditorName(i)) : "saver";
            for (const auto& seen : log.seen) {
                if (!kept.count(seen.first)) {
                    lost.push_back(who + " saw " + favstore::Utf8(seen.first) + " stored after its save in round " +
                                   std::to_string(seen.second));
                }
            }
            if (i == kEditors) continue;
            for (const auto& added : log.added) {
                if (!kept.count(added.first)) {
                    lost.push_back(who + " added " + favstore::Utf8(added.first) + " in round " +
                                   std::to_string(added.second));
                }
            }
        }
        for (const std::wstring& label : m_imported) {
            if (!kept.count(label)) lost.push_back("favtool imported " + favstore::Utf8(label));
        }
        return lost;
    }

    // The killed writer blocked nobody: each editor found the favourite of a
    // round after the kill stored right after its own save of it.
    void ExpectEachSavedAfterTheKill(const std::vector<ProcessLog>& logs) const {
        for (int i = 0; i < kEditors; ++i) {
            bool saved = false;
            for (int round = m_pauseAfter + 1; round <= m_rounds && !saved; ++round) {
                const auto it = logs[i].seen.find(multiwriter::FavouriteLabel(EditorName(i), round));
                saved = it != logs[i].seen.end() && it->second == round;
            }
            EXPECT_TRUE(saved) << favstore::Utf8(EditorName(i)) << " saw none of its own stored after the kill";
        }
    }

    void ExpectEachShows(const std::vector<StoredRecord>& finalRecords) const {
        const std::vector<std::wstring> expected = OutlineOf(finalRecords);
        for (int i = 0; i < kEditors; ++i) {
            EXPECT_EQ(expected, multiwriter::ReadLines(multiwriter::OutlineFile(m_folder, EditorName(i))))
                << favstore::Utf8(EditorName(i)) << " does not show the final value after its last flush";
        }
    }

    void Summarize(std::size_t saverAdded, std::size_t entriesMade, std::size_t entriesLeft,
                   std::size_t finalCount) const {
        std::printf("%d editors x %d rounds, %d imports (%d more refused: the value changed meanwhile); the saver "
                    "added %zu and was killed holding the lock at probe %d; %zu history entries made (%d by "
                    "conflicting saves), %zu of them dropped by the history's limit; %zu favourites in the final "
                    "value\n",
                    kEditors, m_rounds, m_imports, m_importsRefused, saverAdded, m_probes, entriesMade, m_conflicts,
                    entriesMade - entriesLeft, finalCount);
    }

    int m_rounds = 0;
    int m_pauseAfter = 0;
    int m_roundsFinished = 0;
    int m_imports = 0;
    int m_importsRefused = 0;
    int m_probes = 0;
    int m_conflicts = 0;
    std::set<std::wstring> m_imported;
    std::wstring m_folder;
    std::wstring m_tag;
    UniqueKernelHandle m_resume;
    UniqueKernelHandle m_lastRound;
    UniqueKernelHandle m_stop;
    UniqueKernelHandle m_roundsDone;
    std::vector<UniqueKernelHandle> m_paused;
    std::vector<UniqueKernelHandle> m_done;
    ChildProcess m_editors[kEditors];
    ChildProcess m_saver;
};

TEST_F(SeveralProcessesTest, EveryFavouriteStoredIsKeptAndAWriterKilledInItsSaveBlocksNobody) {
    WriteBinary(L"FavoriteArray", StoredValue({{L"start.txt", L"C:\\multi\\start.txt", 1}}));
    WriteDword(L"check", 1);
    for (int i = 0; i < kEditors; ++i) ASSERT_NO_FATAL_FAILURE(StartEditor(m_editors[i], EditorName(i), m_rounds));

    // The first half of the rounds, with imports; then, while every editor
    // waits, the saver saves alone until it is killed holding the lock.
    ASSERT_NO_FATAL_FAILURE(RunRounds(kEditors * m_pauseAfter, true));
    ASSERT_NO_FATAL_FAILURE(WaitForEach(m_paused, "reached its pause"));
    ASSERT_NO_FATAL_FAILURE(StartEditor(m_saver, L"saver", 0));
    ASSERT_NO_FATAL_FAILURE(KillTheSaverHoldingTheLock());
    // The second half, after which the editors have the last round to
    // themselves.
    ::SetEvent(m_resume.get());
    ASSERT_NO_FATAL_FAILURE(RunRounds(kEditors * (m_rounds - m_pauseAfter - 1), true));
    ::SetEvent(m_lastRound.get());
    ASSERT_NO_FATAL_FAILURE(RunRounds(kEditors, false));
    ASSERT_NO_FATAL_FAILURE(WaitForEach(m_done, "finished its rounds"));
    std::vector<BYTE> finalValue;
    multiwriter::Entries history;
    ASSERT_NO_FATAL_FAILURE(Finish(finalValue, history));

    const auto finalRecords = ParseStoredValue(finalValue);
    ASSERT_TRUE(finalRecords) << "the final value does not load completely";
    const multiwriter::Entries everEntries = multiwriter::ReadArchive(multiwriter::HistoryFolder(m_folder));
    for (const auto& entry : history) EXPECT_EQ(1u, everEntries.count(entry.first)) << favstore::Utf8(entry.first);
    const std::set<std::wstring> kept = KeptLabels(*finalRecords, everEntries);

    std::vector<ProcessLog> logs;
    logs.reserve(kEditors);
    for (int i = 0; i < kEditors; ++i) logs.push_back(ReadProcessLog(multiwriter::LogFile(m_folder, EditorName(i))));
    const ProcessLog saverLog = ReadProcessLog(multiwriter::LogFile(m_folder, L"saver"));
    for (int i = 0; i < kEditors; ++i) {
        EXPECT_EQ(static_cast<std::size_t>(m_rounds), logs[i].added.size()) << favstore::Utf8(EditorName(i));
        EXPECT_EQ(std::vector<std::wstring>{}, logs[i].troubles) << favstore::Utf8(EditorName(i));
    }
    EXPECT_EQ(std::vector<std::wstring>{}, saverLog.troubles) << "saver";
    EXPECT_FALSE(saverLog.added.empty()) << "the saver was killed before it added anything";

    const std::vector<std::string> lost = Lost(kept, logs, saverLog);
    EXPECT_TRUE(lost.empty()) << "in neither the final value nor any history entry:\n"
                              << ::testing::PrintToString(lost);
    ExpectEachSavedAfterTheKill(logs);
    ExpectEachShows(*finalRecords);
    Summarize(saverLog.added.size(), everEntries.size(), history.size(), finalRecords->size());
}
