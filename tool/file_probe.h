// Checking whether favourite files exist without hanging on a dead share or
// a drive that does not answer: every root (drive or share) is probed once,
// on a thread of its own, and a root that stops answering is given up on.
// Window-free; the probes themselves are the caller's.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace probe {

// The drive or share a path lives on, as a path of its own: "C:\",
// "\\server\share\", "\\?\C:\", "\\?\UNC\server\share\"; "/" counts as "\".
// Empty for a path that names no root (relative, or "\dir" on the current drive).
std::wstring PathRoot(const std::wstring& path);

enum class Found { Exists, Missing, CannotCheck };

// For CannotCheck: why, in a few words, in both languages favtool speaks
// (the English one also goes into JSON documents, which stay the same).
struct Answer {
    Found found = Found::Exists;
    std::string reason;
    std::string japaneseReason;
};

// Answers for one path; may block for as long as the system takes.
using Probe = std::function<Answer(const std::wstring& path)>;

// The answer for every path, in order. Each root is probed once with
// probeRoot before its paths; when it does not answer Exists, its paths
// cannot be checked, for the root's reason. A root whose probe or one of
// whose paths takes longer than timeout is given up: its unchecked paths
// cannot be checked. Roots are worked on at the same time, so dead roots
// cost one timeout together; paths without a root are probed as one group.
std::vector<Answer> CheckPaths(const std::vector<std::wstring>& paths, const Probe& probeRoot, const Probe& probePath,
                               std::chrono::milliseconds timeout);

}  // namespace probe
