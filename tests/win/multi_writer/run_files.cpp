#include "tests/win/multi_writer/run_files.h"

#include "common/handles.h"
#include "store/registry_values.h"

namespace multiwriter {

namespace {

struct FindTraits {
    static HANDLE invalid() { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) { ::FindClose(h); }
};
using UniqueFind = UniqueHandle<HANDLE, FindTraits>;

bool ReadBytes(const std::wstring& path, std::string& bytes) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    if (!file) return false;
    char buffer[4096];
    DWORD n = 0;
    while (::ReadFile(file.get(), buffer, sizeof(buffer), &n, nullptr) && n > 0) bytes.append(buffer, n);
    return true;
}

// Written under a name of this process's first, then moved into place, so an
// archive file is whole whenever it exists; the first copy stays.
void WriteOnce(const std::wstring& path, const std::vector<BYTE>& bytes) {
    if (::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return;
    const std::wstring part = path + L"." + std::to_wstring(::GetCurrentProcessId()) + L".part";
    if (!WriteText(part, std::string(bytes.begin(), bytes.end()))) return;
    if (!::MoveFileW(part.c_str(), path.c_str())) ::DeleteFileW(part.c_str());
}

}  // namespace

std::vector<std::wstring> ReadLines(const std::wstring& path) {
    std::vector<std::wstring> lines;
    std::string text;
    if (!ReadBytes(path, text)) return lines;
    std::size_t begin = 0;
    for (std::size_t end; (end = text.find('\n', begin)) != std::string::npos; begin = end + 1) {
        lines.push_back(favstore::Wide(text.substr(begin, end - begin)));
    }
    return lines;
}

bool WriteText(const std::wstring& path, const std::string& utf8) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    return file && ::WriteFile(file.get(), utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr) &&
           written == utf8.size();
}

void RemoveFolder(const std::wstring& folder) {
    WIN32_FIND_DATAW found = {};
    {
        const UniqueFind search(::FindFirstFileW((folder + L"\\*").c_str(), &found));
        if (search) {
            do {
                ::DeleteFileW((folder + L"\\" + found.cFileName).c_str());
            } while (::FindNextFileW(search.get(), &found));
        }
    }
    ::RemoveDirectoryW(folder.c_str());
}

void ArchiveHistory(const std::wstring& keyPath, const std::wstring& folder) {
    for (const auto& entry : ReadHistory(keyPath)) WriteOnce(folder + L"\\" + entry.first, entry.second);
}

Entries ReadArchive(const std::wstring& folder) {
    Entries entries;
    WIN32_FIND_DATAW found = {};
    const UniqueFind search(::FindFirstFileW((folder + L"\\*.bin").c_str(), &found));
    if (!search) return entries;
    do {
        std::string bytes;
        if (ReadBytes(folder + L"\\" + found.cFileName, bytes)) {
            entries[found.cFileName] = std::vector<BYTE>(bytes.begin(), bytes.end());
        }
    } while (::FindNextFileW(search.get(), &found));
    return entries;
}

}  // namespace multiwriter
