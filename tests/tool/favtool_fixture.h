// Runs the built favtool.exe on a registry key and a temporary folder of the
// test's own, and reads the key back independently of the tool.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "store/registry_values.h"
#include "tests/win/stored_value.h"

struct ToolRun {
    DWORD status = 0;
    std::string out;  // UTF-8, as the tool writes it
    std::string err;
};

struct StoredValueOf {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    bool operator==(const StoredValueOf& o) const { return type == o.type && data == o.data; }
};
using KeySnapshot = std::map<std::wstring, StoredValueOf>;

using favstore::Utf8;
// Whether the text holds the part; the failure message shows both.
::testing::AssertionResult Contains(const std::string& text, const std::string& part);

// Words of favtool's English sentences in text it wrote in Japanese: none
// when every message of the run was translated. The names it keeps in both
// languages (commands, options, registry values, JSON keys, paths, labels)
// hold none of them.
::testing::AssertionResult SpeaksOnlyJapanese(const std::string& text);

// A folder "Projects" (expanded) holding two favourites, one Japanese, and a
// collapsed folder; a favourite at the top level.
std::vector<StoredRecord> SampleTree();

// How a run of favtool is started.
struct RunSetup {
    // Without a console of its own, as from a service or a program without
    // one: redirected output is UTF-8 then. CREATE_NO_WINDOW gives it a console.
    DWORD creationFlags = DETACHED_PROCESS;
    std::optional<std::string> input;  // piped to standard input; none: no standard input
    bool withModule = true;            // --module <the test's module> first
    // --lang first, so that no test depends on the machine's language; none:
    // the language of the user, as favtool chooses it.
    std::optional<std::wstring> language = L"en";
    bool rawArguments = false;         // the arguments as they are, not quoted for the C runtime
    bool closedOutput = false;         // standard output is a pipe nobody reads
};

class FavtoolTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // favtool --module <this test's module> args...
    ToolRun Favtool(const std::vector<std::wstring>& args) const;
    ToolRun Favtool(const std::vector<std::wstring>& args, const RunSetup& setup) const;
    // favtool alone on a console of its own, as Explorer, Task Scheduler or a
    // shortcut starts it, with the arguments as given (no --module, no
    // --lang). Ended if still running after waitMs; returns the wait's
    // result, and in status the exit status.
    DWORD OnOwnConsole(const std::vector<std::wstring>& args, DWORD waitMs, DWORD& status) const;

    void Put(const wchar_t* name, DWORD type, const std::vector<BYTE>& data) const;
    void PutFavorites(const std::vector<StoredRecord>& records) const;  // current layout, check = 1
    void PutDword(const wchar_t* name, DWORD value) const;
    void PutIn(const std::wstring& otherModule, const wchar_t* name, DWORD type, const std::vector<BYTE>& data);
    bool Has(const wchar_t* name) const;
    bool KeyExists() const;
    StoredValueOf Get(const wchar_t* name) const;
    KeySnapshot Snapshot() const;  // every value of the key

    // A path in this test's temporary folder, removed afterwards.
    std::wstring TempFile(const std::wstring& name);
    void WriteFile(const std::wstring& path, const std::string& bytes) const;
    std::string ReadFile(const std::wstring& path) const;
    // A document favtool wrote, its Windows line ends read as "\n"; a line
    // that ends otherwise fails the test.
    std::string ReadDocument(const std::wstring& path) const;

    std::wstring module;

private:
    std::wstring m_keyPath;
    std::wstring m_tempDir;
    std::vector<std::wstring> m_tempFiles;
    std::vector<std::wstring> m_otherKeys;
};
