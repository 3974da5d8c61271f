// What the several-process test's driver and its editor processes agree on:
// the command line, the kernel objects they signal each other with (named
// from the run's tag) and the files an editor leaves in the run's folder.
#pragma once

#include <string>

namespace multiwriter {

// editor_process.exe <plug-in copy> <key path> <folder> <tag> <name> <rounds> <pause after round>
// rounds 0: the saver, which adds and saves until it is killed.
constexpr int kArgumentCount = 8;

// Manual-reset: set once the driver has done what it does while every
// editor waits after its pause round.
inline std::wstring ResumeEvent(const std::wstring& tag) { return L"Local\\" + tag + L".resume"; }
// Manual-reset: set once the driver's imports are over; the editors wait for
// it before their last round, so that the final value is theirs.
inline std::wstring LastRoundEvent(const std::wstring& tag) { return L"Local\\" + tag + L".last"; }
// Manual-reset: the editors flush a last time, write their outline and end.
inline std::wstring StopEvent(const std::wstring& tag) { return L"Local\\" + tag + L".stop"; }
// Released once per round an editor has finished.
inline std::wstring RoundSemaphore(const std::wstring& tag) { return L"Local\\" + tag + L".rounds"; }
// Set by one editor: it waits after its pause round, or it has done all its rounds.
inline std::wstring PausedEvent(const std::wstring& tag, const std::wstring& name) {
    return L"Local\\" + tag + L"." + name + L".paused";
}
inline std::wstring DoneEvent(const std::wstring& tag, const std::wstring& name) {
    return L"Local\\" + tag + L"." + name + L".done";
}

// One line per favourite it added ("added <round> <label>") and per one of
// its own it found stored right after its own save ("seen <round> <label>").
inline std::wstring LogFile(const std::wstring& folder, const std::wstring& name) {
    return folder + L"\\" + name + L".log";
}
// Its tree after the last flush, one "label/level/image[+ if expanded]" line per item.
inline std::wstring OutlineFile(const std::wstring& folder, const std::wstring& name) {
    return folder + L"\\" + name + L".outline";
}
// Copies of every history entry a process saw, one file each.
inline std::wstring HistoryFolder(const std::wstring& folder) { return folder + L"\\history"; }

// The favourite an editor adds in a round, by the file name a drop gives it.
inline std::wstring FavouriteLabel(const std::wstring& name, int round) {
    return name + L"-" + std::to_wstring(round) + L".txt";
}

}  // namespace multiwriter
