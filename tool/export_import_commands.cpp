// export and import: the tree as a JSON document in a file.
#include "tool/commands.h"

#include "tool/command_support.h"
#include "tool/console.h"
#include "tool/json_document.h"
#include "tool/language.h"
#include "tool/display_width.h"
#include "tool/text.h"

namespace {

using display::Spaced;

std::string FileName(const std::wstring& file) {
    return file == kStandardStream ? Say("standard input", "標準入力") : ToUtf8(file);
}

// "(error 2: ...)", the system's own words.
std::string Because(DWORD error) { return "(" + SystemMessage(error) + ")"; }

std::string MiB(std::uint64_t bytes) { return std::to_string(bytes / (std::uint64_t{1024} * 1024)) + " MiB"; }

std::string CannotRead(const std::string& name, DWORD error) {
    const std::string because = Because(error);
    return Say("cannot read " + name + " " + because, Spaced({name, "を読めません", " ", because}));
}

std::string GrewPastTheMost(const std::string& name) {
    const std::string most = MiB(kMaxDocumentBytes);
    return Say(name + " grew past " + most + " while it was read; nothing was imported",
               Spaced({name, "は、読んでいる間に", most, "を超えました。何も読み込んでいません"}));
}

std::string ReadDocumentBytes(const std::wstring& file) {
    if (file == kStandardStream) {
        std::optional<std::string> bytes = ReadStandardInput(kMaxDocumentBytes);
        if (!bytes) {
            throw ToolError(Say("import - reads a document sent to it, as in: favtool import - < favorites.json",
                                "import - は、送られてきた JSON ファイルを読み込みます。例: favtool import - < "
                                "favorites.json"),
                            kExitUsage);
        }
        return std::move(*bytes);
    }
    UniqueFile h(::CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    const std::string name = ToUtf8(file);
    if (!h) {
        const std::string because = Because(::GetLastError());
        throw ToolError(Say("cannot open " + name + " " + because, Spaced({name, "を開けません", " ", because})));
    }
    LARGE_INTEGER size = {};
    if (::GetFileSizeEx(h.get(), &size) && static_cast<unsigned long long>(size.QuadPart) > kMaxDocumentBytes) {
        const std::string is = MiB(static_cast<std::uint64_t>(size.QuadPart));
        const std::string most = MiB(kMaxDocumentBytes);
        throw ToolError(Say(name + " is " + is + "; a favourites document is at most " + most +
                                ", so it was not read; nothing was imported",
                            Spaced({name, "は", is, "です。お気に入りの JSON ファイルは最大", most,
                                    "なので、読んでいません。何も読み込んでいません"})));
    }
    std::string text;
    std::string buffer(65536, '\0');
    for (;;) {
        DWORD n = 0;
        if (!::ReadFile(h.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &n, nullptr)) {
            throw ToolError(CannotRead(name, ::GetLastError()), kExitFailed);
        }
        if (n == 0) return text;
        if (text.size() + n > kMaxDocumentBytes) throw ToolError(GrewPastTheMost(name));
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
            const std::string because = Because(::GetLastError());
            throw ToolError(Say("cannot create " + ToUtf8(partial) + " " + because + "; nothing was written",
                                Spaced({ToUtf8(partial), "を作成できません", " ", because,
                                        "。何も書き込んでいません"})),
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
                throw ToolError(Say("cannot write " + ToUtf8(partial) + " " + Because(error) + "; " + ToUtf8(file) +
                                        " was left as it was",
                                    Spaced({ToUtf8(partial), "に書き込めません", " ", Because(error), "。",
                                            ToUtf8(file), "は元のままです"})),
                                kExitFailed);
            }
            done += written;
        }
    }
    if (!::MoveFileExW(partial.c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        const DWORD error = ::GetLastError();
        ::DeleteFileW(partial.c_str());
        throw ToolError(Say("cannot write " + ToUtf8(file) + " " + Because(error) + "; it was left as it was",
                            Spaced({ToUtf8(file), "に書き込めません", " ", Because(error), "。元のままです"})),
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
        throw ToolError(Say("import could not take back the document this value makes (" + *problem +
                                "); nothing was written",
                            "この値から作る JSON ファイルを import で元のとおりに読み込めません (" + *problem +
                                ")。何も書き込んでいません"));
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
                    Note(Say("record ", "レコード ") + std::to_string(item.record) + " (" + Quoted(label) +
                         (item.label.size() > 40 ? "..." : "") + "): " + difference.text);
                }
                self(item.children, self);
            }
        };
        warn(tree, warn);
        if (favfmt::Encode(Flatten(tree)) != stored.value->bytes) {
            Note(stored.CurrentLayout()
                     ? Say("the stored bytes differ from those the bar saves for this tree (levels skipped, or unusual "
                           "flag bytes); the document holds the tree as the bar shows it, and import writes it as the "
                           "bar saves it",
                           "保存されているバイトは、このツリーをバーが保存するときのバイトと違います (飛んでいる"
                           "階層、または普通でないフラグ バイト)。JSON ファイルにはバーが表示するとおりのツリーを"
                           "書き出しました。import では、バーが保存するとおりに書き込みます")
                     : Say("the stored value is in the old layout; import writes the current one",
                           "保存されている値は古い形式です。import では現在の形式で書き込みます"));
        }
    }
    const std::string where = toOutput ? Say("standard output", "標準出力") : ToUtf8(file);
    const std::string summary = Say("export: wrote " + Describe(Count(tree)) + " to " + where,
                                    Spaced({"export: ", Describe(Count(tree)), "を", where, "に書き出しました"})) +
                                "\n";
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
                        e.what() + Say("; nothing was imported", "。何も読み込んでいません"));
    }
    for (const DocumentNote& note : imported.notes) {
        Note(FileName(file) + ":" + std::to_string(note.line) + ":" + std::to_string(note.column) + ": " +
             note.message);
    }
    if (imported.slashedPaths) {
        const std::string paths = Plural(imported.slashedPaths, "path", "paths");
        Note(Say("\"/\" became \"\\\" in " + paths + ", as the bar writes them",
                 "バーが書くとおり、" + paths + "の \"/\" を \"\\\" にしました"));
    }
    const Tree& tree = imported.tree;
    const std::vector<favfmt::Record> records = Flatten(tree);
    const favstore::StoredValue value = BinaryValue(favfmt::Encode(records));

    if (!ModuleKey(options.module, KeyAccess::Read).Exists() && !options.create) {
        throw ToolError(MissingKeyMessage(options.module) +
                        Say("; to make the key for that module, run import again with --create",
                            "。そのモジュールのキーを作るには、--create を付けて import をもう一度実行してください"));
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
        // "FavoriteArray (module) の ... を ... に置き換え"
        const auto japanese = [&](const char* verbEnding) {
            const std::string verb = hadFavorites ? std::string("置き換え") : std::string("書き込み");
            return hadFavorites ? Spaced({"import: FavoriteArray", Where(options), "の", Replaced(stored), "を",
                                          With(Count(tree)), "に", verb, verbEnding})
                                : Spaced({"import: FavoriteArray", Where(options), "に", Describe(Count(tree)), "を",
                                          verb, verbEnding});
        };
        const HistoryDrops drops =
            DropsOfKeeping(key.Values(), KeptByReplacing(stored, key.Key().Read(kValueFavoritesBackup), encoded));
        if (unchanged) {
            // Said once the lock is released.
        } else if (options.dryRun) {
            result = Say("import: would be " + change + Where(options), japanese("ます")) + drops.Phrase(true) +
                     Say("; dry run, nothing written\n", "。試しなので、何も書き込んでいません\n");
        } else {
            // The bar keeps no value for an empty tree.
            const favstore::Replaced replaced = WriteFavorites(key, stored, encoded, "import");
            result = Say("import: " + change + Where(options), japanese("ました")) + drops.Phrase(false) +
                     UndoHint(replaced, key, encoded);
        }
    }
    if (unchanged) {
        return NothingToDo("import", Say("FavoriteArray already holds this tree" + Where(options),
                                         Spaced({"FavoriteArray", Where(options), "の内容は、すでにこのツリーと同じです"})));
    }
    PrintOut(result);
    return kExitSuccess;
}
