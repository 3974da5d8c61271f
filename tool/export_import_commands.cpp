// export and import: the tree as a JSON document in a file.
#include "tool/commands.h"

#include "tool/command_support.h"
#include "tool/console.h"
#include "tool/json_document.h"
#include "tool/text.h"

namespace {

std::string FileName(const std::wstring& file) {
    return file == kStandardStream ? std::string("standard input") : ToUtf8(file);
}

std::string ReadDocumentBytes(const std::wstring& file) {
    if (file == kStandardStream) {
        std::optional<std::string> bytes = ReadStandardInput(kMaxDocumentBytes);
        if (!bytes) {
            throw ToolError("import - reads a document sent to it, as in: favtool import - < favorites.json",
                            kExitUsage);
        }
        return std::move(*bytes);
    }
    UniqueFile h(::CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h) throw ToolError("cannot open " + ToUtf8(file) + " (" + SystemMessage(::GetLastError()) + ")");
    LARGE_INTEGER size = {};
    if (::GetFileSizeEx(h.get(), &size) && static_cast<unsigned long long>(size.QuadPart) > kMaxDocumentBytes) {
        throw ToolError(ToUtf8(file) + " is " + std::to_string(size.QuadPart / (1024LL * 1024)) +
                        " MiB; a favourites document is at most " + std::to_string(kMaxDocumentBytes / (1024 * 1024)) +
                        " MiB, so it was not read; nothing was imported");
    }
    std::string text;
    std::string buffer(65536, '\0');
    for (;;) {
        DWORD n = 0;
        if (!::ReadFile(h.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &n, nullptr)) {
            throw ToolError("cannot read " + ToUtf8(file) + " (" + SystemMessage(::GetLastError()) + ")", kExitFailed);
        }
        if (n == 0) return text;
        if (text.size() + n > kMaxDocumentBytes) {
            throw ToolError(ToUtf8(file) + " grew past " + std::to_string(kMaxDocumentBytes / (1024 * 1024)) +
                            " MiB while it was read; nothing was imported");
        }
        text.append(buffer.data(), n);
    }
}

// A document file gets Windows line ends: Notepad before Windows 10 shows a
// file without them as one line. Only the layout breaks lines; line breaks in
// labels and paths are escaped in the JSON text.
std::string WithWindowsLineEnds(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (const char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

// Writes beside the file first, so a failed export leaves an existing file whole.
void WriteFileText(const std::wstring& file, const std::string& text) {
    const std::wstring partial = file + L".partial";
    {
        UniqueFile h(::CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                   nullptr));
        if (!h) {
            throw ToolError("cannot create " + ToUtf8(partial) + " (" + SystemMessage(::GetLastError()) +
                                "); nothing was written",
                            kExitFailed);
        }
        std::size_t done = 0;
        while (done < text.size()) {
            const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(text.size() - done, 1 << 20));
            DWORD written = 0;
            if (!::WriteFile(h.get(), text.data() + done, chunk, &written, nullptr) || written == 0) {
                const DWORD error = ::GetLastError();
                h.reset();
                ::DeleteFileW(partial.c_str());
                throw ToolError("cannot write " + ToUtf8(partial) + " (" + SystemMessage(error) + "); " +
                                    ToUtf8(file) + " was left as it was",
                                kExitFailed);
            }
            done += written;
        }
    }
    if (!::MoveFileExW(partial.c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        const DWORD error = ::GetLastError();
        ::DeleteFileW(partial.c_str());
        throw ToolError("cannot write " + ToUtf8(file) + " (" + SystemMessage(error) + "); it was left as it was",
                        kExitFailed);
    }
}

}  // namespace

int ExportCommand(const Options& options, const std::wstring& file) {
    const ModuleKey key = ExistingKey(options);
    const Stored stored = ReadStoredOrEntry(key, options);
    const Inspection* inspection = RequireLoads(stored);
    const Tree tree = BuildTree(inspection ? inspection->records : std::vector<favfmt::Record>{});
    const bool toOutput = file == kStandardStream;
    // A file is UTF-8 always; standard output only when it carries every character.
    const std::string document = ExportDocument(tree, toOutput && !OutputCarriesUnicode());
    // A backup that cannot be imported again is no backup: refuse it before anything is written.
    if (const std::optional<std::string> problem = RoundTripProblem(tree, document)) {
        throw ToolError("import could not take back the document this value makes (" + *problem +
                        "); nothing was written");
    }
    if (toOutput) {
        PrintOut(document);
    } else {
        WriteFileText(file, WithWindowsLineEnds(document));
    }
    if (inspection) {
        const auto warn = [&](const Tree& items, const auto& self) -> void {
            for (const Item& item : items) {
                for (const BarDifference& difference : BarDifferences(item)) {
                    std::wstring label = item.label.substr(0, 40);
                    Note("record " + std::to_string(item.record) + " (" + Quoted(label) +
                         (item.label.size() > 40 ? "..." : "") + "): " + difference.text);
                }
                self(item.children, self);
            }
        };
        warn(tree, warn);
        if (favfmt::Encode(Flatten(tree)) != stored.value->bytes) {
            Note(stored.CurrentLayout()
                     ? "the stored bytes differ from those the bar saves for this tree (levels skipped, or unusual "
                       "flag bytes); the document holds the tree as the bar shows it, and import writes it as the bar "
                       "saves it"
                     : "the stored value is in the old layout; import writes the current one");
        }
    }
    const std::string summary = "export: wrote " + Describe(Count(tree)) + " to " +
                                (toOutput ? std::string("standard output") : ToUtf8(file)) + "\n";
    // Standard output holds the document alone.
    if (toOutput) {
        PrintErr(summary);
    } else {
        PrintOut(summary);
    }
    return kExitSuccess;
}

int ImportCommand(const Options& options, const std::wstring& file) {
    const std::string bytes = ReadDocumentBytes(file);
    ImportedDocument imported;
    try {
        imported = ImportDocument(bytes);
    } catch (const DocumentError& e) {
        throw ToolError(FileName(file) + ":" + std::to_string(e.line) + ":" + std::to_string(e.column) + ": " +
                        e.what() + "; nothing was imported");
    }
    for (const DocumentNote& note : imported.notes) {
        Note(FileName(file) + ":" + std::to_string(note.line) + ":" + std::to_string(note.column) + ": " +
             note.message);
    }
    if (imported.slashedPaths) {
        Note("\"/\" became \"\\\" in " + Plural(imported.slashedPaths, "path", "paths") + ", as the bar writes them");
    }
    const Tree& tree = imported.tree;
    const std::vector<favfmt::Record> records = Flatten(tree);
    const favstore::StoredValue value = BinaryValue(favfmt::Encode(records));

    if (!ModuleKey(options.module, KeyAccess::Read).Exists() && !options.create) {
        throw ToolError(MissingKeyMessage(options.module) +
                        "; to make the key for that module, run import again with --create");
    }
    const std::vector<std::uint8_t> encoded = records.empty() ? std::vector<std::uint8_t>{} : value.bytes;
    // Whatever the key holds under the writers' lock is replaced: an import
    // does not depend on the value it replaces, and that value goes to the
    // history as always, so a window's save just before it loses nothing.
    std::string result;
    bool unchanged = false;
    {
        const KeyAccess access = options.dryRun ? KeyAccess::Read
                                 : options.create ? KeyAccess::Create
                                                  : KeyAccess::Write;
        LockedKey key(options, access);
        const Stored stored = ReadStored(key.Key());
        unchanged = records.empty() ? !stored.value
                                    : (stored.value == value && stored.marker == kMarkerCurrentLayout);
        const bool hadFavorites = stored.state == Stored::State::Binary || stored.state == Stored::State::Ignored;
        const std::string change = hadFavorites ? "replacing " + Replaced(stored) + " with " + With(Count(tree)) +
                                                      " in FavoriteArray"
                                                : "writing " + Describe(Count(tree)) + " to FavoriteArray";
        const HistoryDrops drops =
            DropsOfKeeping(key.Values(), KeptByReplacing(stored, key.Key().Read(kValueFavoritesBackup), encoded));
        if (unchanged) {
            // Said once the lock is released.
        } else if (options.dryRun) {
            result = "import: would be " + change + Where(options) + drops.Phrase(true) + "; dry run, nothing written\n";
        } else {
            // The bar keeps no value for an empty tree.
            const favstore::Replaced replaced = WriteFavorites(key, stored, encoded, "import");
            result = "import: " + change + Where(options) + drops.Phrase(false) + UndoHint(replaced, key, encoded);
        }
    }
    if (unchanged) return NothingToDo("import", "FavoriteArray already holds this tree" + Where(options));
    PrintOut(result);
    return kExitSuccess;
}
