// favtool's writes while editor windows save: an import replaces whatever
// the key holds under the writers' lock, so a window's save just before it
// is no reason to refuse, and what it replaced is in the history.
#include "tests/tool/favtool_fixture.h"

#include <atomic>
#include <string>
#include <thread>

#include "store/favorites_format.h"
#include "store/favorites_keeper.h"
#include "store/registry_key.h"
#include "store/registry_values.h"

namespace {

// A bar's saves as a window makes them: its own keeper, the plug-in key
// opened as the bar opens it, and the writers' lock all writers share. Each
// round it follows what is stored and saves a tree with an edit of its own.
class SavingWindow {
public:
    SavingWindow(const std::wstring& module, int number) : m_module(module), m_number(number) {
        m_thread = std::thread([this] { Run(); });
    }
    ~SavingWindow() { Stop(); }
    SavingWindow(const SavingWindow&) = delete;
    SavingWindow& operator=(const SavingWindow&) = delete;

    void Stop() {
        m_stop = true;
        if (m_thread.joinable()) m_thread.join();
    }
    int Written() const { return m_written; }

private:
    void Run() {
        const std::wstring path = PlugInKeyPath(m_module);
        const RegKey key = RegKey::Open(HKEY_CURRENT_USER, path.c_str(), KEY_READ | KEY_WRITE);
        if (!key) return;
        favstore::RegistryValues values(key.Handle(), favstore::WritersLockName(path.c_str()));
        favstore::FavoritesKeeper keeper;
        for (int round = 0; !m_stop; ++round) {
            favstore::StoredValue stored;
            const favstore::ReadOutcome read = keeper.Read(values, stored);
            keeper.Loaded(read, stored, true);
            const std::u16string label = u"window" + std::u16string(1, char16_t(u'0' + m_number)) + u" round " +
                                         std::u16string(1, char16_t(u'0' + round % 10));
            const std::vector<std::uint8_t> tree = favfmt::Encode({{label, u"C:\\w.txt", 1, false, false}});
            if (keeper.Save(values, tree) == favstore::SaveOutcome::Written) ++m_written;
            ::Sleep(3);
        }
    }

    std::wstring m_module;
    int m_number;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_written{0};
    std::thread m_thread;
};

}  // namespace

TEST_F(FavtoolTest, ImportsWhileTwoWindowsSaveReplaceWhatTheyFindAndKeepIt) {
    PutFavorites(SampleTree());
    const std::wstring file = TempFile(L"import.json");
    WriteFile(file, R"({"version": 1, "favorites": [{"label": "imported", "path": "C:\\imported.txt"}]})");
    {
        SavingWindow first(module, 1);
        SavingWindow second(module, 2);
        for (int i = 0; i < 8; ++i) {
            const ToolRun run = Favtool({L"import", file});
            EXPECT_EQ(0u, run.status) << run.err;
            EXPECT_FALSE(Contains(run.err, "changed"));
        }
        first.Stop();
        second.Stop();
        EXPECT_GT(first.Written(), 0);
        EXPECT_GT(second.Written(), 0);
    }
    // Whichever wrote last, the key holds a whole value, and an import that
    // followed a window's save kept that save in the history.
    const ToolRun check = Favtool({L"check"});
    EXPECT_EQ(0u, check.status) << check.out;
    const ToolRun history = Favtool({L"history"});
    EXPECT_TRUE(Contains(history.out, "import: 1 favourite and 0 folders"));
}
