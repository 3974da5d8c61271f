// restore and relocate: FavoriteArray rewritten through the keeper from the
// backup, a history entry, or with its paths moved.
#include "tool/commands.h"

#include "tool/command_support.h"
#include "tool/console.h"
#include "tool/json_text.h"
#include "tool/path_prefix.h"
#include "tool/text.h"

namespace {

// "the character U+003F (?)", or for a control character its code alone.
std::string CharacterName(wchar_t c) {
    const std::string code = CodePointName(static_cast<std::uint16_t>(c));
    if (c < 0x20) return "the control character " + code;
    return "the character " + code + " (" + ToUtf8(std::wstring(1, c)) + ")";
}

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
    const std::string message = values.FirstFailure() == ERROR_SUCCESS
                                    ? "cannot read " + name
                                    : "could not write " + name + " (" + SystemMessage(values.FirstFailure()) + ")";
    if (done.notPutBack.empty()) return message + "; nothing was changed";
    std::string names;
    for (const favstore::StoredValues::Value value : done.notPutBack) names += (names.empty() ? "" : ", ") + std::string(NameOf(value));
    return message + "; could not put back the earlier " + names;
}

// Refusals of restore --history N, before anything is written.
void RequireRestorable(const HistoryItem& entry, const std::string& which, const HistoryDrops& drops,
                       const Options& options) {
    if (options.force) return;
    if (!entry.loads) {
        const std::string what = entry.type != REG_BINARY ? "is a " + TypeName(entry.type) + " value, which the bar does not load"
                                                          : "does not load completely: " + entry.inspection.StopReason();
        throw ToolError(which + " " + what +
                            ", so the bar would show only part of it and save over the rest; nothing changed "
                            "(favtool list --history " + std::to_string(options.historyEntry) +
                            " shows what loads; --force restores it anyway)",
                        kExitRefused);
    }
    if (drops.Any() && drops.Oldest() >= static_cast<std::size_t>(options.historyEntry)) {
        throw ToolError("restoring " + which + " would drop " + drops.Entries() +
                            " from the history to keep the value it replaces, the entry restored or older ones; "
                            "nothing changed (favtool export --history N FILE keeps a copy of an entry; --force "
                            "restores it anyway)",
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
                                                  : "a value that does not load completely";
            const std::string change = "replacing " + Replaced(stored) + " with " + which + "'s " + holds;
            if (options.dryRun) {
                result = "restore: would be " + change + Where(options) + drops.Phrase(true) +
                         "; dry run, nothing written\n";
            } else {
                const favstore::Replaced replaced = WriteFavorites(key, stored, bytes, "restore");
                result = "restore: " + change + " in FavoriteArray" + Where(options) + drops.Phrase(false) +
                         (InHistory(replaced) ? "; the replaced value is now history entry 1: " +
                                                    UndoCommand(key, bytes) + " undoes this\n"
                                              : UndoHint(replaced, key, bytes));
            }
        }
    }
    if (nothingToDo) return NothingToDo("restore", "FavoriteArray already holds " + which + Where(options));
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
        throw ToolError("FavoriteArrayBackup does not load completely (" + TypeName(backup.type) + ", " +
                            Plural(backup.bytes.size(), "byte", "bytes") +
                            "), so the bar would show only part of it and save over the rest; nothing changed "
                            "(favtool check tells more; --force restores it anyway)",
                        kExitRefused);
    }
    const std::string backupHolds =
        backupState.loadsInCurrentLayout ? "the backup's " + With(backupState.counts)
                                         : "the backup (" + TypeName(backup.type) + ", " +
                                               Plural(backup.bytes.size(), "byte", "bytes") +
                                               (marker ? ")" : ", which does not load completely)");
    const std::string change = "replacing " + Replaced(stored) + " with " + backupHolds;
    const bool kept = stored.value && favstore::CountedItems(stored.value->bytes) > 0;
    const HistoryDrops drops =
        DropsOfKeeping(key.Values(), kept ? std::optional(stored.value->bytes) : std::nullopt);
    if (options.dryRun) return "restore: would be " + change + Where(options) + drops.Phrase(true) + "; dry run, nothing written\n";

    favstore::Shown shown = ShownOf(stored);
    shown.backup = backup;
    const favstore::RequestedWrite done = favstore::FavoritesKeeper().SwapInBackup(key.Values(), shown);
    using Outcome = favstore::RequestedWrite::Outcome;
    switch (done.outcome) {
    case Outcome::Written:
        break;
    case Outcome::LockedOut:
        throw ToolError(kLockedOut);
    case Outcome::LockUnavailable:
        throw ToolError(kLockUnavailable);
    case Outcome::ValueChanged:
    case Outcome::MarkerChanged:
        throw ToolError("FavoriteArray or FavoriteArrayBackup changed while restoring; nothing written");
    case Outcome::NotKept:
        throw ToolError("could not keep FavoriteArray in the history; nothing written", kExitFailed);
    case Outcome::Failed:
        throw ToolError(SwapFailure(done, key.Values()), kExitFailed);
    }
    // The swap back needs --force when what went to the backup does not load.
    const bool undoForced = stored.value && !favstore::MarkerThatLoads(*stored.value);
    return "restore: " + change + " in FavoriteArray" + Where(options) + drops.Phrase(false) +
           (done.replaced.inBackup
                ? std::string("; FavoriteArrayBackup now holds the replaced value (run favtool restore") +
                      (undoForced ? " --force" : "") + " again to undo)"
                : "; there was no FavoriteArray, so no backup remains") +
           (InHistory(done.replaced) ? ", and so does history entry 1" : "") +
           (done.markerSet ? "; check set to " + std::to_string(*done.markerSet) : std::string()) + "\n";
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
    if (!result) return NothingToDo("restore", "there is no FavoriteArrayBackup" + Where(options));
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
    for (favfmt::Record& record : out.records) {
        const std::wstring path(record.path.begin(), record.path.end());
        const std::optional<std::wstring> moved = prefix.Relocate(path);
        if (!moved || *moved == path) continue;
        const bool onlyCase = SamePathIgnoringCase(*moved, path);
        const std::string line = "  " + ToUtf8(std::wstring(record.label.begin(), record.label.end())) + ": " +
                                 ToUtf8(path) + " -> " + ToUtf8(*moved);
        if (onlyCase && !options.changeCase) {
            ++out.caseOnly;
            out.changes += line + " (only the case or the slashes change; not written)\n";
            continue;
        }
        ++out.changed;
        out.changes += line + (onlyCase ? " (only the case or the slashes change)\n" : "\n");
        record.path.assign(moved->begin(), moved->end());
    }
    return out;
}

}  // namespace

int RelocateCommand(const Options& options, const std::wstring& from, const std::wstring& to) {
    const PathPrefix prefix(from, to);
    if (prefix.Empty()) throw ToolError("the old path " + Quoted(from) + " names no folder or file", kExitUsage);
    if (to.empty() || !IsAbsolutePath(to)) {
        throw ToolError("the new path " + Quoted(to) +
                            " must start at a drive or share (as in D:\\Work or \\\\server\\share\\Work)",
                        kExitUsage);
    }
    if (const std::optional<wchar_t> bad = ImpossiblePathCharacter(to)) {
        throw ToolError("the new path " + Quoted(to) + " holds " + CharacterName(*bad) +
                            ", which no file or folder name can hold",
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
            if (options.dryRun) {
                result = "relocate: " + Plural(relocation.changed, "path", "paths") + " would change" + Where(options) +
                         drops.Phrase(true) + "; dry run, nothing written\n";
            } else {
                const favstore::Replaced replaced = WriteFavorites(key, stored, encoded, "relocate");
                result = "relocate: rewrote " + Plural(relocation.changed, "path", "paths") + " in FavoriteArray" +
                         Where(options) + drops.Phrase(false) + UndoHint(replaced, key, encoded);
            }
        }
    }
    // The lines of changes are results: printed once the write is done and
    // the lock released, never before a failure.
    if (relocation.changed == 0) {
        PrintOut(relocation.changes);
        if (relocation.caseOnly) {
            return NothingToDo("relocate", "only the case or the slashes of " +
                                               Plural(relocation.caseOnly, "path", "paths") +
                                               " would change, which names the same files" + Where(options) +
                                               " (--change-case writes them)");
        }
        return NothingToDo("relocate", "no favourite is at or below " + Quoted(from) + Where(options));
    }
    PrintOut(relocation.changes + result);
    return kExitSuccess;
}
