// An editor process of the several-process test: one window of the stand-in
// host with the plug-in loaded from the copy every process of the run loads
// (so one key and one writers' lock for all). Round after round it follows
// what is stored, adds one favourite by a shell drop on its bar, saves it at
// the next flush, and notes which of its own favourites it then finds
// stored. The saver (0 rounds) does the same until the driver kills it.
// Protocol and files: tests/win/multi_writer/protocol.h.
#include <windows.h>
#include <commctrl.h>

#include <cwchar>
#include <set>
#include <string>

#include "common/handles.h"
#include "store/registry_values.h"
#include "host/host.h"
#include "host/testkit.h"
#include "tests/win/multi_writer/protocol.h"
#include "tests/win/multi_writer/run_files.h"
#include "tests/win/multi_writer/stored_key.h"
#include "tests/win/stored_value.h"

namespace {

// Hang guards only: a driver that went away leaves no editor running for long.
constexpr DWORD kWaitLimitMs = 10 * 60 * 1000;
constexpr int kSaverRoundLimit = 20000;

struct Arguments {
    std::wstring plugin;
    std::wstring keyPath;  // the plug-in's key below HKEY_CURRENT_USER
    std::wstring folder;
    std::wstring tag;
    std::wstring name;
    int rounds = 0;  // 0: the saver
    int pauseAfter = 0;
};

bool Parse(int argc, wchar_t** argv, Arguments& out) {
    if (argc != multiwriter::kArgumentCount) return false;
    out = {argv[1], argv[2], argv[3], argv[4], argv[5], _wtoi(argv[6]), _wtoi(argv[7])};
    return !out.plugin.empty() && !out.name.empty() && out.rounds >= 0;
}

// A text file written a whole line at a time, so that a process killed
// meanwhile leaves whole lines (but for the one it was writing at most).
class LineFile {
public:
    explicit LineFile(const std::wstring& path)
        : m_file(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr)) {}
    bool IsOpen() const { return static_cast<bool>(m_file); }
    void Line(const std::wstring& text) {
        const std::string bytes = favstore::Utf8(text + L"\n");
        DWORD written = 0;
        ::WriteFile(m_file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }

private:
    UniqueFile m_file;
};

// Waits for a driver's event while the window goes on answering its messages.
bool WaitPumping(hostsim::Host& host, HANDLE event) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        const DWORD waited = ::GetTickCount() - start;
        if (waited >= kWaitLimitMs) return false;
        const DWORD result = ::MsgWaitForMultipleObjects(1, &event, FALSE, kWaitLimitMs - waited, QS_ALLINPUT);
        if (result == WAIT_OBJECT_0) return true;
        if (result != WAIT_OBJECT_0 + 1) return false;
        host.Pump();
    }
}

class Editor {
public:
    explicit Editor(const Arguments& args) : m_args(args), m_log(multiwriter::LogFile(args.folder, args.name)) {}

    // The window, the plug-in and its bar, open as a person opens it.
    bool Open() {
        if (!m_log.IsOpen()) return false;
        m_window = m_host.CreateMainWindow();
        if (!m_host.LoadPlugin(m_args.plugin, m_window)) return false;
        if (!m_window->BarClient()) m_window->Command();
        m_host.Pump();
        return m_window->BarClient() != nullptr;
    }

    void Round(int round) {
        m_host.Flush();  // an unedited bar follows what is stored
        const std::wstring label = multiwriter::FavouriteLabel(m_args.name, round);
        if (!AddByDrop(label)) {
            m_log.Line(L"missed " + std::to_wstring(round) + L" " + label);
            return;
        }
        m_added.insert(label);
        m_log.Line(L"added " + std::to_wstring(round) + L" " + label);
        m_host.Flush();  // saves
        NoteOwnStored(round);
    }

    void Flush() { m_host.Flush(); }

    void WriteOutline() {
        LineFile outline(multiwriter::OutlineFile(m_args.folder, m_args.name));
        for (const hostsim::TreeItem& row : hostsim::TreeSnapshot(m_window->BarClient())) {
            outline.Line(row.label + L"/" + std::to_wstring(row.depth) + L"/" + std::to_wstring(row.image) +
                         (row.expanded ? L"+" : L""));
        }
    }

    hostsim::Host& Host() { return m_host; }

private:
    // A file dropped from the shell on the empty end of the bar (or, when the
    // tree is full, its last row): a new favourite whose label the bar opens
    // for editing, which Enter ends. False if the bar did not take it.
    bool AddByDrop(const std::wstring& label) {
        const HWND tree = m_window->BarClient();
        RECT rc = {};
        ::GetWindowRect(tree, &rc);
        // Every process's window lies at the same place, so that another
        // process moving the one cursor in between does not move the drop.
        hostsim::DropFiles(m_host, m_window->Main(), {rc.left + 20, rc.bottom - 1}, {L"C:\\multi\\" + label});
        if (const HWND edit = TreeView_GetEditControl(tree)) hostsim::PressKey(m_host, edit, VK_RETURN);
        return hostsim::FindItem(tree, label) != nullptr;
    }

    // Right after its own save: which of the favourites this process added
    // the stored value holds.
    void NoteOwnStored(int round) {
        const auto records = ParseStoredValue(multiwriter::ReadFavoriteArray(m_args.keyPath));
        if (!records) {
            m_log.Line(L"unreadable " + std::to_wstring(round));
            return;
        }
        for (const StoredRecord& record : *records) {
            if (m_added.count(record.label)) m_log.Line(L"seen " + std::to_wstring(round) + L" " + record.label);
        }
    }

    Arguments m_args;
    LineFile m_log;
    hostsim::Host m_host;
    hostsim::MainWindow* m_window = nullptr;
    std::set<std::wstring> m_added;
};

UniqueKernelHandle OpenDriverEvent(const std::wstring& name) {
    return UniqueKernelHandle(::OpenEventW(SYNCHRONIZE | EVENT_MODIFY_STATE, FALSE, name.c_str()));
}

int RunSaver(Editor& editor, HANDLE stop) {
    const DWORD start = ::GetTickCount();
    for (int round = 1; round <= kSaverRoundLimit && ::GetTickCount() - start < kWaitLimitMs; ++round) {
        if (::WaitForSingleObject(stop, 0) == WAIT_OBJECT_0) break;
        editor.Round(round);
    }
    return 0;
}

int RunEditor(Editor& editor, const Arguments& args) {
    const UniqueKernelHandle paused = OpenDriverEvent(multiwriter::PausedEvent(args.tag, args.name));
    const UniqueKernelHandle resume = OpenDriverEvent(multiwriter::ResumeEvent(args.tag));
    const UniqueKernelHandle lastRound = OpenDriverEvent(multiwriter::LastRoundEvent(args.tag));
    const UniqueKernelHandle done = OpenDriverEvent(multiwriter::DoneEvent(args.tag, args.name));
    const UniqueKernelHandle stop = OpenDriverEvent(multiwriter::StopEvent(args.tag));
    const UniqueKernelHandle rounds(
        ::OpenSemaphoreW(SEMAPHORE_MODIFY_STATE, FALSE, multiwriter::RoundSemaphore(args.tag).c_str()));
    if (!paused || !resume || !lastRound || !done || !stop || !rounds) return 2;
    for (int round = 1; round <= args.rounds; ++round) {
        if (round == args.pauseAfter + 1) {
            ::SetEvent(paused.get());
            if (!WaitPumping(editor.Host(), resume.get())) return 3;
        }
        if (round == args.rounds && !WaitPumping(editor.Host(), lastRound.get())) return 3;
        editor.Round(round);
        multiwriter::ArchiveHistory(args.keyPath, multiwriter::HistoryFolder(args.folder));
        ::ReleaseSemaphore(rounds.get(), 1, nullptr);
    }
    editor.Flush();
    ::SetEvent(done.get());
    if (!WaitPumping(editor.Host(), stop.get())) return 3;
    editor.Flush();
    editor.WriteOutline();
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    Arguments args;
    if (!Parse(argc, argv, args)) return 1;
    Editor editor(args);
    if (!editor.Open()) return 2;
    if (args.rounds == 0) {
        const UniqueKernelHandle stop = OpenDriverEvent(multiwriter::StopEvent(args.tag));
        return stop ? RunSaver(editor, stop.get()) : 2;
    }
    return RunEditor(editor, args);
}
