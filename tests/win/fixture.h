// Test fixture: a stand-in host with its own copy of the plug-in, whose file
// name gives it a registry key of its own.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/host.h"
#include "host/testkit.h"
#include "common/host_interface.h"
#include "tests/win/stored_value.h"

// Full path of the built Favorites.dll, next to the test program.
const wchar_t* FavoritesDllPath();

class PluginTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Creates the host with one main window and loads the plug-in into it.
    hostsim::MainWindow* StartHost(hostsim::HostOptions options = {});
    hostsim::MainWindow* OpenBarWindow(hostsim::HostOptions options = {});

    // The plug-in's registry key, below HKEY_CURRENT_USER, and its values.
    const std::wstring& KeyPath() const { return m_key->Path(); }
    const std::wstring& Stem() const { return m_stem; }
    const std::wstring& DllCopy() const { return m_dllCopy; }
    void ClearKey() const { m_key->Clear(); }
    bool ValueExists(const wchar_t* name) const { return m_key->ValueExists(name); }
    DWORD ValueType(const wchar_t* name) const { return m_key->ValueType(name); }
    std::vector<BYTE> ReadBinary(const wchar_t* name) const { return m_key->ReadBytes(name); }
    DWORD ReadDword(const wchar_t* name, DWORD fallback = 0xDEADBEEF) const { return m_key->ReadDword(name, fallback); }
    void WriteRaw(const wchar_t* name, DWORD type, const void* data, DWORD size) const;
    void WriteDword(const wchar_t* name, DWORD value) const { WriteRaw(name, REG_DWORD, &value, sizeof(value)); }
    void WriteBinary(const wchar_t* name, const std::vector<BYTE>& data) const {
        WriteRaw(name, REG_BINARY, data.data(), static_cast<DWORD>(data.size()));
    }
    void DeleteValue(const wchar_t* name) const { m_key->DeleteValue(name); }
    // The entries of the key's History subkey, by name (so oldest first).
    std::map<std::wstring, std::vector<BYTE>> History() const;
    bool InHistory(const std::vector<BYTE>& bytes) const;

    std::unique_ptr<hostsim::Host> host;

private:
    std::wstring m_dllCopy;
    std::wstring m_stem;
    std::unique_ptr<hostsim::ScratchKey> m_key;
};

HWND TreeOf(hostsim::MainWindow* window);
// Answers the next properties dialog with a side, then OK.
void ChooseSide(hostsim::ModalResponder& responder, int side);
int RequestCount(const hostsim::Host& host, UINT msg);

// The tree as the user sees it, in the test kit's terms.
using hostsim::FindItem;
using hostsim::TreeItem;
using hostsim::TreeSnapshot;
// "label/level/image[+ if expanded]" per item, for readable comparisons.
std::wstring Outline(HWND tree);

using hostsim::Request;

// A bar opened on stored favourites, with the keyboard focus in its tree.
class BarTest : public PluginTest {
protected:
    void OpenOn(const std::vector<StoredRecord>& records, hostsim::HostOptions options = {});
    // Selects an item the way a person does: a click on its label.
    void ClickItem(const std::wstring& label);
    void Press(UINT vk, bool alt = false, bool ctrl = false, bool shift = false);
    // Takes the input to another window's bar, with the keyboard focus in it.
    void UseBarOf(hostsim::MainWindow* w);
    // The window's current document added after an item with Insert, named as
    // the bar suggests.
    void AddDocumentAfter(const std::wstring& label, const std::wstring& path);
    // Renames an item with F2 and types over its label, leaving the edit
    // open; the edit box, or null (a failure is recorded) if none opened.
    HWND TypeOverLabel(const std::wstring& label, const std::wstring& text);
    std::vector<Request> Opened() const { return host->RequestsOf(HM_OPEN_FILE); }
    std::wstring SelectedLabel() const;
    HWND tree = nullptr;
    hostsim::MainWindow* window = nullptr;
};
