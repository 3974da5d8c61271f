// favtool's exit statuses, the same for every command and in both languages
// favtool speaks. The help text, the README and package/README.txt describe
// them in the same words.
#pragma once

enum ExitStatus : int {
    kExitSuccess = 0,  // done; nothing to report (also: nothing to do)
    kExitFinding = 1,  // done, with a finding: a value that does not load completely was listed,
                       // diff found differences, missing found files
    kExitUsage = 2,    // the command line is wrong; nothing was done
    kExitRefused = 3,  // refused, nothing written: a value, backup, entry or document that does not
                       // load, the writers' lock held, a round trip it cannot make
    kExitFailed = 4,   // failed part-way: a system error; the message says what was put back
};
