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

int RestoreFromHistory(const Options& options) {
    const ModuleKey reader = ExistingKey(options);
    const std::vector<HistoryItem> items = ReadHistory(reader);
    const HistoryItem& entry = HistoryEntryOf(items, options.historyEntry);
    const Stored stored = ReadStored(reader);
    const std::string which = "history entry " + std::to_string(options.historyEntry) +
                              (entry.named ? " (" + LocalTime(entry.parsed.utc) + ")" : " (" + entry.name + ")");
    // The marker is written for the current layout with the value: an entry
    // kept from an old-layout value goes back as the same favourites in it.
    const std::vector<std::uint8_t> bytes = entry.oldLayout ? favfmt::Encode(entry.inspection.records) : entry.bytes;
    if (stored.value && stored.value->type == REG_BINARY && stored.value->bytes == bytes) {
        return NothingToDo("restore", "FavoriteArray already holds " + which + Where(options));
    }
    const std::string holds = entry.loads
                                  ? With(Count(BuildTree(entry.inspection.records)))
                                  : "a value that does not load completely";
    const std::string change = "replacing " + Replaced(stored) + " with " + which + "'s " + holds;
    if (options.dryRun) {
        PrintOut("restore: would be " + change + Where(options) + "; dry run, nothing written\n");
        return kExitSuccess;
    }
    const ModuleKey key(options.module, KeyAccess::Write);
    const favstore::Replaced replaced = WriteFavorites(key, stored, bytes, "restore");
    PrintOut("restore: " + change + " in FavoriteArray" + Where(options) +
             (InHistory(replaced)
                  ? "; the replaced value is now history entry 1: favtool restore --history 1 undoes this\n"
                  : UndoHint(replaced)));
    return kExitSuccess;
}

}  // namespace

int RestoreCommand(const Options& options) {
    if (options.historyEntry > 0) return RestoreFromHistory(options);
    const ModuleKey reader = ExistingKey(options);
    const std::optional<favstore::StoredValue> backup = reader.Read(kValueFavoritesBackup);
    if (!backup) return NothingToDo("restore", "there is no FavoriteArrayBackup" + Where(options));
    const Stored stored = ReadStored(reader);
    // A backup kept from an old-layout value loads only with the old marker.
    const std::optional<std::uint32_t> marker = favstore::MarkerThatLoads(*backup);
    const BackupState backupState = InspectBackup(backup, marker == kMarkerCurrentLayout);
    // The rescued bytes of a damaged value: restored, the bar would show what
    // loads and save that over them at its next save.
    if (!marker && !options.force) {
        throw ToolError("FavoriteArrayBackup does not load completely (" + TypeName(backup->type) + ", " +
                            Plural(backup->bytes.size(), "byte", "bytes") +
                            "), so the bar would show only part of it and save over the rest; nothing changed "
                            "(favtool check tells more; --force restores it anyway)",
                        kExitRefused);
    }
    const std::string backupHolds =
        backupState.loadsInCurrentLayout ? "the backup's " + With(backupState.counts)
                                         : "the backup (" + TypeName(backup->type) + ", " +
                                               Plural(backup->bytes.size(), "byte", "bytes") +
                                               (marker ? ")" : ", which does not load completely)");
    const std::string change = "replacing " + Replaced(stored) + " with " + backupHolds;
    if (options.dryRun) {
        PrintOut("restore: would be " + change + Where(options) + "; dry run, nothing written\n");
        return kExitSuccess;
    }

    const ModuleKey key(options.module, KeyAccess::Write);
    favstore::RegistryValues values = key.Values();
    favstore::Shown shown = ShownOf(stored);
    shown.backup = backup;
    const favstore::RequestedWrite done = favstore::FavoritesKeeper().SwapInBackup(values, shown);
    using Outcome = favstore::RequestedWrite::Outcome;
    switch (done.outcome) {
    case Outcome::Written:
        break;
    case Outcome::LockedOut:
        throw ToolError(kLockedOut);
    case Outcome::ValueChanged:
    case Outcome::MarkerChanged:
        throw ToolError("FavoriteArray or FavoriteArrayBackup changed while restoring; nothing written");
    case Outcome::NotKept:
        throw ToolError("could not keep FavoriteArray in the history; nothing written", kExitFailed);
    case Outcome::Failed:
        throw ToolError(SwapFailure(done, values), kExitFailed);
    }
    PrintOut("restore: " + change + " in FavoriteArray" + Where(options) +
             (done.replaced.inBackup
                  ? "; FavoriteArrayBackup now holds the replaced value (run favtool restore again to undo)"
                  : "; there was no FavoriteArray, so no backup remains") +
             (InHistory(done.replaced) ? ", and so does history entry 1" : "") +
             (done.markerSet ? "; check set to " + std::to_string(*done.markerSet) : std::string()) + "\n");
    return kExitSuccess;
}

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
    const ModuleKey reader = ExistingKey(options);
    const Stored stored = ReadStored(reader);
    const Inspection* inspection = RequireLoads(stored);
    std::vector<favfmt::Record> records = inspection ? inspection->records : std::vector<favfmt::Record>{};

    std::string changes;
    std::size_t changed = 0;
    std::size_t caseOnly = 0;
    for (favfmt::Record& record : records) {
        const std::wstring path(record.path.begin(), record.path.end());
        const std::optional<std::wstring> moved = prefix.Relocate(path);
        if (!moved || *moved == path) continue;
        const bool onlyCase = SamePathIgnoringCase(*moved, path);
        const std::string line = "  " + ToUtf8(std::wstring(record.label.begin(), record.label.end())) + ": " +
                                 ToUtf8(path) + " -> " + ToUtf8(*moved);
        if (onlyCase && !options.changeCase) {
            ++caseOnly;
            changes += line + " (only the case or the slashes change; not written)\n";
            continue;
        }
        ++changed;
        changes += line + (onlyCase ? " (only the case or the slashes change)\n" : "\n");
        record.path.assign(moved->begin(), moved->end());
    }
    // The lines of changes are results: printed once the write is done, never before a failure.
    if (changed == 0) {
        PrintOut(changes);
        if (caseOnly) {
            return NothingToDo("relocate", "only the case or the slashes of " + Plural(caseOnly, "path", "paths") +
                                               " would change, which names the same files" + Where(options) +
                                               " (--change-case writes them)");
        }
        return NothingToDo("relocate", "no favourite is at or below " + Quoted(from) + Where(options));
    }
    if (options.dryRun) {
        PrintOut(changes + "relocate: " + Plural(changed, "path", "paths") + " would change" + Where(options) +
                 "; dry run, nothing written\n");
        return kExitSuccess;
    }
    const ModuleKey key(options.module, KeyAccess::Write);
    const favstore::Replaced replaced = WriteFavorites(key, stored, favfmt::Encode(records), "relocate");
    PrintOut(changes + "relocate: rewrote " + Plural(changed, "path", "paths") + " in FavoriteArray" + Where(options) +
             UndoHint(replaced));
    return kExitSuccess;
}
