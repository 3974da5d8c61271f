// restore and relocate: FavoriteArray rewritten through the keeper from the
// backup, a history entry, or with its paths moved.
#include "tool/commands.h"

#include "tool/command_support.h"
#include "tool/console.h"
#include "tool/json_text.h"
#include "tool/language.h"
#include "tool/display_width.h"
#include "tool/path_prefix.h"
#include "tool/text.h"

namespace {

using display::Spaced;

// "the character U+003F (?)", or for a control character its code alone.
std::string CharacterName(wchar_t c) {
    const std::string code = CodePointName(static_cast<std::uint16_t>(c));
    if (c < 0x20) return Say("the control character ", "制御文字 ") + code;
    return Say("the character ", "文字 ") + code + " (" + ToUtf8(std::wstring(1, c)) + ")";
}

// "REG_BINARY, 12 bytes"
std::string TypeAndSize(const favstore::StoredValue& value) {
    return TypeName(value.type) + Say(", ", "、") + Plural(value.bytes.size(), "byte", "bytes");
}

// What every refusal to restore a value that does not load adds.
std::string ShowsOnlyPart() {
    return Say(", so the bar would show only part of it and save over the rest; nothing changed",
               "。戻すと、バーには一部しか表示されず、次の保存で残りが上書きされます。何も変更していません");
}

std::string DryRunEnd() { return Say("; dry run, nothing written\n", "。試しなので、何も書き込んでいません\n"); }

const char* NameOf(favstore::StoredValues::Value value) {
    switch (value) {
    case favstore::StoredValues::Value::Favorites: return "FavoriteArray";
    case favstore::StoredValues::Value::Backup: return "FavoriteArrayBackup";
    case favstore::StoredValues::Value::Marker: break;
    }
    return "check";
}

// A swap that failed midway: what failed, and what could not be put back.
std::string SwapFailure(const favstore::RequestedWrite& done, const favstore::RegistryValues& values) {
    const std::string name = done.failed ? NameOf(*done.failed) : "FavoriteArray";
    std::string message = Say("cannot read " + name, name + " を読めません");
    if (values.FirstFailure() != ERROR_SUCCESS) {
        const std::string because = "(" + SystemMessage(values.FirstFailure()) + ")";
        message = Say("could not write " + name + " " + because, name + " を書き込めませんでした " + because);
    }
    if (done.notPutBack.empty()) return message + Say("; nothing was changed", "。何も変更していません");
    std::string names;
    for (const favstore::StoredValues::Value value : done.notPutBack) names += (names.empty() ? "" : ", ") + std::string(NameOf(value));
    return message + Say("; could not put back the earlier " + names, "。以前の " + names + " を元に戻せませんでした");
}

// How the Japanese refusal to drop entries ends: how to keep them first.
constexpr char kKeepACopyFirst[] =
    "。何も変更していません (favtool export --history N FILE で履歴のコピーを残せます。"
    "--force を付けると、それでも戻します)";

// Refusals of restore --history N, before anything is written.
void RequireRestorable(const HistoryItem& entry, const std::string& which, const HistoryDrops& drops,
                       const Options& options) {
    if (options.force) return;
    if (!entry.loads) {
        const std::string list = "favtool list --history " + std::to_string(options.historyEntry);
        const std::string what =
            entry.type != REG_BINARY
                ? Say("is a " + TypeName(entry.type) + " value, which the bar does not load",
                      "は " + TypeName(entry.type) + " の値で、バーはこれを読み込みません")
                : Say("does not load completely: ", "は最後まで読めません: ") + entry.inspection.StopReason();
        throw ToolError(Say(which + " " + what + ShowsOnlyPart() + " (" + list +
                                " shows what loads; --force restores it anyway)",
                            Spaced({which, what, ShowsOnlyPart(), " (読める部分は", list,
                                    "で表示できます。--force を付けると、それでも戻します)"})),
                        kExitRefused);
    }
    if (drops.Any() && drops.Oldest() >= static_cast<std::size_t>(options.historyEntry)) {
        throw ToolError(Say("restoring " + which + " would drop " + drops.Entries() +
                                " from the history to keep the value it replaces, the entry restored or older ones; "
                                "nothing changed (favtool export --history N FILE keeps a copy of an entry; --force "
                                "restores it anyway)",
                            Spaced({which, "を戻すと、置き換える値を残すために、戻す履歴かそれより古い履歴が消えます:",
                                    " ", drops.Entries(), kKeepACopyFirst})),
                        kExitRefused);
    }
}

int RestoreFromHistory(const Options& options) {
    std::string result;
    bool nothingToDo = false;
    std::string which;
    {
        LockedKey key(options, options.dryRun ? KeyAccess::Read : KeyAccess::Write);
        if (!key.Key().Exists()) throw ToolError(MissingKeyMessage(options.module));
        // Read under the lock: the entry and the value it replaces are
        // those the write finds.
        const std::vector<HistoryItem> items = ReadHistory(key.Key());
        const HistoryItem& entry = HistoryEntryOf(items, options.historyEntry);
        const Stored stored = ReadStored(key.Key());
        which = EntryTitle(entry, options.historyEntry);
        // The marker is written for the current layout with the value: an entry
        // kept from an old-layout value goes back as the same favourites in it.
        const std::vector<std::uint8_t> bytes =
            entry.oldLayout ? favfmt::Encode(entry.inspection.records) : entry.bytes;
        nothingToDo = stored.value && stored.value->type == REG_BINARY && stored.value->bytes == bytes;
        if (!nothingToDo) {
            const HistoryDrops drops =
                DropsOfKeeping(key.Values(), KeptByReplacing(stored, key.Key().Read(kValueFavoritesBackup), bytes));
            RequireRestorable(entry, which, drops, options);
            const std::string holds = entry.loads ? With(Count(BuildTree(entry.inspection.records)))
                                                  : Say("a value that does not load completely", "最後まで読めない値");
            const std::string change = "replacing " + Replaced(stored) + " with " + which + "'s " + holds;
            // "FavoriteArray (module) の ... を 履歴 3 (...) の ... に置き換え"
            const auto japanese = [&](const char* verbEnding) {
                return Spaced({"restore: FavoriteArray", Where(options), "の", Replaced(stored), "を", which, "の",
                               holds, "に置き換え", verbEnding});
            };
            if (options.dryRun) {
                result = Say("restore: would be " + change + Where(options), japanese("ます")) + drops.Phrase(true) +
                         DryRunEnd();
            } else {
                const favstore::Replaced replaced = WriteFavorites(key, stored, bytes, "restore");
                const std::string undo = InHistory(replaced) ? UndoCommand(key, bytes) : std::string();
                result = Say("restore: " + change + " in FavoriteArray" + Where(options), japanese("ました")) +
                         drops.Phrase(false) +
                         (InHistory(replaced)
                              ? Say("; the replaced value is now history entry 1: " + undo + " undoes this\n",
                                    "。置き換えた値は履歴 1 になりました。" + undo + " で元に戻せます\n")
                              : UndoHint(replaced, key, bytes));
            }
        }
    }
    if (nothingToDo) {
        return NothingToDo("restore", Say("FavoriteArray already holds " + which + Where(options),
                                          Spaced({"FavoriteArray", Where(options), "の内容は、すでに", which,
                                                  "と同じです"})));
    }
    PrintOut(result);
    return kExitSuccess;
}

// restore's swap of FavoriteArrayBackup and FavoriteArray, with the lock
// held: the result line.
std::string SwapBackupIn(LockedKey& key, const favstore::StoredValue& backup, const Options& options) {
    const Stored stored = ReadStored(key.Key());
    // A backup kept from an old-layout value loads only with the old marker.
    const std::optional<std::uint32_t> marker = favstore::MarkerThatLoads(backup);
    const BackupState backupState = InspectBackup(backup, marker == kMarkerCurrentLayout);
    // The rescued bytes of a damaged value: restored, the bar would show what
    // loads and save that over them at its next save.
    if (!marker && !options.force) {
        throw ToolError(Say("FavoriteArrayBackup does not load completely (" + TypeAndSize(backup) + ")" +
                                ShowsOnlyPart() + " (favtool check tells more; --force restores it anyway)",
                            "FavoriteArrayBackup は最後まで読めません (" + TypeAndSize(backup) + ")" + ShowsOnlyPart() +
                                " (詳しくは favtool check で確かめられます。--force を付けると、それでも戻します)"),
                        kExitRefused);
    }
    const std::string backupHolds =
        backupState.loadsInCurrentLayout
            ? Say("the backup's " + With(backupState.counts), Spaced({"バックアップの", With(backupState.counts)}))
            : Say("the backup (", "バックアップ (") + TypeAndSize(backup) +
                  (marker ? ")" : Say(", which does not load completely)", "、最後まで読めない値)"));
    const std::string change = "replacing " + Replaced(stored) + " with " + backupHolds;
    // "FavoriteArray (module) の ... をバックアップの ... に置き換え"
    const auto japanese = [&](const char* verbEnding) {
        return Spaced({"restore: FavoriteArray", Where(options), "の", Replaced(stored), "を", backupHolds,
                       "に置き換え", verbEnding});
    };
    const bool kept = stored.value && favstore::CountedItems(stored.value->bytes) > 0;
    const HistoryDrops drops =
        DropsOfKeeping(key.Values(), kept ? std::optional(stored.value->bytes) : std::nullopt);
    if (options.dryRun) {
        return Say("restore: would be " + change + Where(options), japanese("ます")) + drops.Phrase(true) + DryRunEnd();
    }

    favstore::Shown shown = ShownOf(stored);
    shown.backup = backup;
    const favstore::RequestedWrite done = favstore::FavoritesKeeper().SwapInBackup(key.Values(), shown);
    using Outcome = favstore::RequestedWrite::Outcome;
    switch (done.outcome) {
    case Outcome::Written:
        break;
    case Outcome::LockedOut:
        throw ToolError(LockedOut());
    case Outcome::LockUnavailable:
        throw ToolError(LockUnavailable());
    case Outcome::ValueChanged:
    case Outcome::MarkerChanged:
        throw ToolError(Say("FavoriteArray or FavoriteArrayBackup changed while restoring; nothing written",
                            "戻している間に FavoriteArray か FavoriteArrayBackup が変わりました。何も書き込んでいません"));
    case Outcome::NotKept:
        throw ToolError(Say("could not keep FavoriteArray in the history; nothing written",
                            "FavoriteArray を履歴に残せませんでした。何も書き込んでいません"),
                        kExitFailed);
    case Outcome::Failed:
        throw ToolError(SwapFailure(done, key.Values()), kExitFailed);
    }
    // The swap back needs --force when what went to the backup does not load.
    const bool undoForced = stored.value && !favstore::MarkerThatLoads(*stored.value);
    const std::string undo = std::string("favtool restore") + (undoForced ? " --force" : "");
    const bool inHistory = InHistory(done.replaced);
    const std::string markerSet = done.markerSet ? std::to_string(*done.markerSet) : std::string();
    if (!SpeaksJapanese()) {
        return "restore: " + change + " in FavoriteArray" + Where(options) + drops.Phrase(false) +
               (done.replaced.inBackup
                    ? "; FavoriteArrayBackup now holds the replaced value (run " + undo + " again to undo)"
                    : "; there was no FavoriteArray, so no backup remains") +
               (inHistory ? ", and so does history entry 1" : "") +
               (done.markerSet ? "; check set to " + markerSet : std::string()) + "\n";
    }
    const std::string where = inHistory ? "FavoriteArrayBackup と履歴 1" : "FavoriteArrayBackup";
    return japanese("ました") + drops.Phrase(false) +
           (done.replaced.inBackup
                ? "。置き換えた値は " + where + " にあります (元に戻すには、もう一度 " + undo + " を実行します)"
                : "。FavoriteArray がなかったので、バックアップは残っていません" +
                      std::string(inHistory ? "。置き換えた値は履歴 1 にあります" : "")) +
           (done.markerSet ? "。check を " + markerSet + " にしました" : std::string()) + "\n";
}

}  // namespace

int RestoreCommand(const Options& options) {
    if (options.historyEntry > 0) return RestoreFromHistory(options);
    std::optional<std::string> result;
    {
        LockedKey key(options, options.dryRun ? KeyAccess::Read : KeyAccess::Write);
        if (!key.Key().Exists()) throw ToolError(MissingKeyMessage(options.module));
        const std::optional<favstore::StoredValue> backup = key.Key().Read(kValueFavoritesBackup);
        if (backup) result = SwapBackupIn(key, *backup, options);
    }
    if (!result) {
        return NothingToDo("restore", Say("there is no FavoriteArrayBackup" + Where(options),
                                          Spaced({"FavoriteArrayBackup", Where(options), "がありません"})));
    }
    PrintOut(*result);
    return kExitSuccess;
}

namespace {

// The paths relocate moves in a tree of records, and how each is told.
struct Relocation {
    std::vector<favfmt::Record> records;
    std::string changes;  // a line per path
    std::size_t changed = 0;
    std::size_t caseOnly = 0;  // paths whose case or slashes alone would change
};

Relocation Relocate(const Stored& stored, const PathPrefix& prefix, const Options& options) {
    const Inspection* inspection = RequireLoads(stored);
    Relocation out;
    out.records = inspection ? inspection->records : std::vector<favfmt::Record>{};
    const std::string caseOnly = Say("only the case or the slashes change",
                                     "大文字と小文字、またはスラッシュだけが変わります");
    const std::string caseOnlyWritten = " (" + caseOnly + ")\n";
    const std::string caseOnlyNotWritten = " (" + caseOnly + Say("; not written", "。書き込みません") + ")\n";
    for (favfmt::Record& record : out.records) {
        const std::wstring path(record.path.begin(), record.path.end());
        const std::optional<std::wstring> moved = prefix.Relocate(path);
        if (!moved || *moved == path) continue;
        const bool onlyCase = SamePathIgnoringCase(*moved, path);
        const std::string line = "  " + ToUtf8(std::wstring(record.label.begin(), record.label.end())) + ": " +
                                 ToUtf8(path) + " -> " + ToUtf8(*moved);
        out.changes += line;
        if (onlyCase && !options.changeCase) {
            ++out.caseOnly;
            out.changes += caseOnlyNotWritten;
            continue;
        }
        ++out.changed;
        out.changes += onlyCase ? caseOnlyWritten : std::string("\n");
        record.path.assign(moved->begin(), moved->end());
    }
    return out;
}

}  // namespace

// Why relocate leaves paths whose case alone would change, in Japanese.
constexpr char kSameFiles[] =
    "は、大文字と小文字、またはスラッシュだけが変わり、同じファイルを指します (--change-case を付けると書き込みます)";

int RelocateCommand(const Options& options, const std::wstring& from, const std::wstring& to) {
    const PathPrefix prefix(from, to);
    if (prefix.Empty()) {
        throw ToolError(Say("the old path " + Quoted(from) + " names no folder or file",
                            "元のパス " + Quoted(from) + " は、フォルダーもファイルも指していません"),
                        kExitUsage);
    }
    if (to.empty() || !IsAbsolutePath(to)) {
        throw ToolError(Say("the new path " + Quoted(to) +
                                " must start at a drive or share (as in D:\\Work or \\\\server\\share\\Work)",
                            "新しいパス " + Quoted(to) +
                                " は、ドライブか共有フォルダーから始めてください (例: D:\\Work、\\\\server\\share\\Work)"),
                        kExitUsage);
    }
    if (const std::optional<wchar_t> bad = ImpossiblePathCharacter(to)) {
        throw ToolError(Say("the new path " + Quoted(to) + " holds " + CharacterName(*bad) +
                                ", which no file or folder name can hold",
                            Spaced({"新しいパス", Quoted(to), "には、ファイル名にもフォルダー名にも使えない",
                                    CharacterName(*bad), "があります"})),
                        kExitUsage);
    }
    // The paths are moved in what the key holds under the writers' lock, so
    // a window's save just before is moved too, not undone.
    Relocation relocation;
    std::string result;
    {
        LockedKey key(options, options.dryRun ? KeyAccess::Read : KeyAccess::Write);
        if (!key.Key().Exists()) throw ToolError(MissingKeyMessage(options.module));
        const Stored stored = ReadStored(key.Key());
        relocation = Relocate(stored, prefix, options);
        if (relocation.changed > 0) {
            const std::vector<std::uint8_t> encoded = favfmt::Encode(relocation.records);
            const HistoryDrops drops =
                DropsOfKeeping(key.Values(), KeptByReplacing(stored, key.Key().Read(kValueFavoritesBackup), encoded));
            const std::string paths = Plural(relocation.changed, "path", "paths");
            if (options.dryRun) {
                result = Say("relocate: " + paths + " would change" + Where(options),
                             Spaced({"relocate: FavoriteArray", Where(options), "の", paths, "が変わります"})) +
                         drops.Phrase(true) + DryRunEnd();
            } else {
                const favstore::Replaced replaced = WriteFavorites(key, stored, encoded, "relocate");
                result = Say("relocate: rewrote " + paths + " in FavoriteArray" + Where(options),
                             Spaced({"relocate: FavoriteArray", Where(options), "の", paths, "を書き換えました"})) +
                         drops.Phrase(false) + UndoHint(replaced, key, encoded);
            }
        }
    }
    // The lines of changes are results: printed once the write is done and
    // the lock released, never before a failure.
    if (relocation.changed == 0) {
        PrintOut(relocation.changes);
        if (relocation.caseOnly) {
            const std::string paths = Plural(relocation.caseOnly, "path", "paths");
            return NothingToDo("relocate",
                               Say("only the case or the slashes of " + paths +
                                       " would change, which names the same files" + Where(options) +
                                       " (--change-case writes them)",
                                   Spaced({"FavoriteArray", Where(options), "の", paths, kSameFiles})));
        }
        return NothingToDo("relocate", Say("no favourite is at or below " + Quoted(from) + Where(options),
                                           Spaced({"FavoriteArray", Where(options), "には、", Quoted(from),
                                                   "とその下にあるお気に入りがありません"})));
    }
    PrintOut(relocation.changes + result);
    return kExitSuccess;
}
