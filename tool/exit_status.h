// favtool's exit statuses, the same for every command.
#pragma once

enum ExitStatus : int {
    kExitSuccess = 0,  // done; nothing to report (also: nothing to do)
    kExitFinding = 1,  // done, with a finding: a value that does not load completely, files missing
    kExitUsage = 2,    // the command line is wrong; nothing was done
    kExitFailure = 3,  // a key, value or file could not be opened, read or written, a document
                       // was refused, or memory ran out; nothing was changed unless it says so
};
