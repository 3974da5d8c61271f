#include "tests/tool/favtool_fixture.h"

#include <cctype>
#include <set>
#include <thread>

#include "common/handles.h"
#include "store/registry_key.h"
#include "tests/win/command_line.h"

namespace {

std::wstring ModuleDirectory() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir = path;
    return dir.substr(0, dir.find_last_of(L'\\'));
}

std::string ReadAll(HANDLE pipe) {
    std::string text;
    char buffer[4096];
    DWORD n = 0;
    while (::ReadFile(pipe, buffer, sizeof(buffer), &n, nullptr) && n > 0) text.append(buffer, n);
    return text;
}

// A pipe one end of which the child inherits.
void ChildPipe(UniqueKernelHandle& read, UniqueKernelHandle& write, bool childReads = false) {
    SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
    HANDLE r = nullptr;
    HANDLE w = nullptr;
    ASSERT_TRUE(::CreatePipe(&r, &w, &sa, 0));
    read.reset(r);
    write.reset(w);
    ::SetHandleInformation(childReads ? w : r, HANDLE_FLAG_INHERIT, 0);
}

std::wstring Widen(const char* text) {
    std::wstring out;
    for (; *text; ++text) out += static_cast<wchar_t>(static_cast<unsigned char>(*text));
    return out;
}

}  // namespace

::testing::AssertionResult Contains(const std::string& text, const std::string& part) {
    if (text.find(part) != std::string::npos) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "\"" << part << "\" is not in:\n" << text;
}

::testing::AssertionResult SpeaksOnlyJapanese(const std::string& text) {
    // Words of sentences, none of them a command, option or value name.
    static const std::set<std::string> englishWords = {
        "the",     "is",      "are",   "was",   "not",    "nothing",   "cannot",     "could", "does",
        "with",    "which",   "would", "and",   "from",   "into",      "there",      "what",  "written",
        "of",      "to",      "in",    "for",   "by",     "favourite", "favourites", "folder", "folders",
        "entries", "loads",   "value", "values", "shows", "replaced",  "earlier",
    };
    std::string found;
    std::size_t at = 0;
    while (at < text.size()) {
        if (!std::isalpha(static_cast<unsigned char>(text[at]))) {
            ++at;
            continue;
        }
        std::size_t end = at;
        while (end < text.size() && std::isalpha(static_cast<unsigned char>(text[end]))) ++end;
        // A word inside a name (--dry-run, FavoriteArray, C:\the\path) is no sentence.
        const bool inName = (at > 0 && (text[at - 1] == '-' || text[at - 1] == '\\' || text[at - 1] == '/' ||
                                        text[at - 1] == '_' || text[at - 1] == '.')) ||
                            (end < text.size() && (text[end] == '-' || text[end] == '\\' || text[end] == '_' ||
                                                   text[end] == '.' || text[end] == '='));
        std::string word = text.substr(at, end - at);
        for (char& c : word) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (!inName && englishWords.count(word)) {
            found += (found.empty() ? "" : ", ") + text.substr(at, end - at);
        }
        at = end;
    }
    if (found.empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "English words (" << found << ") in:\n" << text;
}

std::vector<StoredRecord> SampleTree() {
    return {
        {L"Projects", L"", 1, true, true},
        {L"readme.txt", L"C:\\Proj\\readme.txt", 2},
        {L"日本語メモ", L"C:\\Proj\\資料\\メモ.txt", 2},
        {L"Old", L"", 2, true, false},
        {L"notes.txt", L"C:\\Project\\notes.txt", 3},
        {L"todo.txt", L"c:\\proj", 1},
    };
}

void FavtoolTest::SetUp() {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::wstring name = Widen(info->test_suite_name()) + L"_" + Widen(info->name());
    for (wchar_t& c : name) {
        if (!iswalnum(c)) c = L'_';
    }
    // Japanese in every module name: each run passes it through the arguments.
    module = L"favtool_お気に入り_" + name + L"_" + std::to_wstring(::GetCurrentProcessId());
    m_keyPath = PlugInKeyPath(module);
    ::RegDeleteTreeW(HKEY_CURRENT_USER, m_keyPath.c_str());
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    m_tempDir = std::wstring(temp) + module;
    ::CreateDirectoryW(m_tempDir.c_str(), nullptr);
}

void FavtoolTest::TearDown() {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, m_keyPath.c_str());
    for (const std::wstring& other : m_otherKeys) ::RegDeleteTreeW(HKEY_CURRENT_USER, other.c_str());
    for (const std::wstring& file : m_tempFiles) {
        ::DeleteFileW(file.c_str());
        ::DeleteFileW((file + L".partial").c_str());
    }
    ::RemoveDirectoryW(m_tempDir.c_str());
}

DWORD FavtoolTest::OnOwnConsole(const std::vector<std::wstring>& args, DWORD waitMs, DWORD& status) const {
    const std::wstring exe = ModuleDirectory() + L"\\favtool.exe";
    std::wstring commandLine = QuoteArgument(exe);
    for (const std::wstring& arg : args) commandLine += L" " + QuoteArgument(arg);
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!::CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE, nullptr,
                          nullptr, &si, &pi)) {
        ADD_FAILURE() << "cannot start favtool.exe, error " << ::GetLastError();
        return WAIT_FAILED;
    }
    UniqueKernelHandle process(pi.hProcess);
    UniqueKernelHandle thread(pi.hThread);
    const DWORD waited = ::WaitForSingleObject(process.get(), waitMs);
    if (waited == WAIT_TIMEOUT) ::TerminateProcess(process.get(), 0);
    status = 99;
    ::GetExitCodeProcess(process.get(), &status);
    return waited;
}

ToolRun FavtoolTest::Favtool(const std::vector<std::wstring>& args) const { return Favtool(args, RunSetup{}); }

ToolRun FavtoolTest::Favtool(const std::vector<std::wstring>& args, const RunSetup& setup) const {
    static const std::wstring exe = ModuleDirectory() + L"\\favtool.exe";
    std::wstring commandLine = QuoteArgument(exe);
    if (setup.language) commandLine += L" --lang " + *setup.language;
    if (setup.withModule) commandLine += L" --module " + QuoteArgument(module);
    for (const std::wstring& arg : args) commandLine += L" " + (setup.rawArguments ? arg : QuoteArgument(arg));

    ToolRun run;
    UniqueKernelHandle outRead, outWrite, errRead, errWrite, inRead, inWrite;
    ChildPipe(outRead, outWrite);
    ChildPipe(errRead, errWrite);
    if (setup.closedOutput) outRead.reset();
    if (setup.input) ChildPipe(inRead, inWrite, /*childReads=*/true);
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = inRead.get();
    si.hStdOutput = outWrite.get();
    si.hStdError = errWrite.get();
    PROCESS_INFORMATION pi = {};
    if (!::CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE, setup.creationFlags, nullptr,
                          nullptr, &si, &pi)) {
        ADD_FAILURE() << "cannot start favtool.exe, error " << ::GetLastError();
        return run;
    }
    UniqueKernelHandle process(pi.hProcess);
    UniqueKernelHandle thread(pi.hThread);
    // Only the child holds the write ends now, so the reads end when it does.
    outWrite.reset();
    errWrite.reset();
    inRead.reset();
    std::thread inWriter([&] {
        if (!setup.input) return;
        DWORD written = 0;
        ::WriteFile(inWrite.get(), setup.input->data(), static_cast<DWORD>(setup.input->size()), &written, nullptr);
        inWrite.reset();
    });
    std::thread errReader([&] { run.err = ReadAll(errRead.get()); });
    if (outRead) run.out = ReadAll(outRead.get());
    errReader.join();
    inWriter.join();
    ::WaitForSingleObject(process.get(), INFINITE);
    ::GetExitCodeProcess(process.get(), &run.status);
    return run;
}

void FavtoolTest::Put(const wchar_t* name, DWORD type, const std::vector<BYTE>& data) const {
    ASSERT_EQ(ERROR_SUCCESS, ::RegSetKeyValueW(HKEY_CURRENT_USER, m_keyPath.c_str(), name, type, data.data(),
                                                static_cast<DWORD>(data.size())));
}

void FavtoolTest::PutFavorites(const std::vector<StoredRecord>& records) const {
    Put(L"FavoriteArray", REG_BINARY, StoredValue(records));
    PutDword(L"check", 1);
}

void FavtoolTest::PutDword(const wchar_t* name, DWORD value) const {
    Put(name, REG_DWORD, std::vector<BYTE>(reinterpret_cast<BYTE*>(&value), reinterpret_cast<BYTE*>(&value + 1)));
}

void FavtoolTest::PutIn(const std::wstring& otherModule, const wchar_t* name, DWORD type,
                        const std::vector<BYTE>& data) {
    m_otherKeys.push_back(PlugInKeyPath(otherModule));
    ASSERT_EQ(ERROR_SUCCESS, ::RegSetKeyValueW(HKEY_CURRENT_USER, m_otherKeys.back().c_str(), name, type, data.data(),
                                                static_cast<DWORD>(data.size())));
}

bool FavtoolTest::KeyExists() const {
    HKEY raw = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, m_keyPath.c_str(), 0, KEY_READ, &raw) != ERROR_SUCCESS) return false;
    ::RegCloseKey(raw);
    return true;
}

bool FavtoolTest::Has(const wchar_t* name) const { return Snapshot().count(name) != 0; }

StoredValueOf FavtoolTest::Get(const wchar_t* name) const {
    const KeySnapshot values = Snapshot();
    const auto it = values.find(name);
    return it == values.end() ? StoredValueOf{} : it->second;
}

KeySnapshot FavtoolTest::Snapshot() const {
    KeySnapshot values;
    const RegKey key = RegKey::Open(HKEY_CURRENT_USER, m_keyPath.c_str(), KEY_READ);
    if (!key) return values;
    std::wstring name;
    DWORD size = 0;
    for (DWORD i = 0; key.ValueName(i, name, size) == ERROR_SUCCESS; ++i) {
        favstore::StoredValue value;
        key.Read(name.c_str(), value);
        values[name] = StoredValueOf{value.type, std::move(value.bytes)};
    }
    return values;
}

std::wstring FavtoolTest::TempFile(const std::wstring& name) {
    m_tempFiles.push_back(m_tempDir + L"\\" + name);
    return m_tempFiles.back();
}

void FavtoolTest::WriteFile(const std::wstring& path, const std::string& bytes) const {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(file);
    DWORD written = 0;
    ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ASSERT_EQ(bytes.size(), written);
}

std::string FavtoolTest::ReadFile(const std::wstring& path) const {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) return "<missing>";
    return ReadAll(file.get());
}

std::string FavtoolTest::ReadDocument(const std::wstring& path) const {
    const std::string bytes = ReadFile(path);
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes.compare(i, 2, "\r\n") == 0) {
            text += '\n';
            ++i;
        } else if (bytes[i] == '\r' || bytes[i] == '\n') {
            ADD_FAILURE() << Utf8(path) << ": a line ends without CR LF at byte " << i;
            return text;
        } else {
            text += bytes[i];
        }
    }
    return text;
}
