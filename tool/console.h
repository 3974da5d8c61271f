// Standard input and output as the tool meets them: a console, a file or a
// pipe, from a console or from a process without one.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// How text written to a file or pipe is encoded. A console always gets the
// characters themselves, through the console's wide-character interface.
enum class OutputEncoding {
    Automatic,  // the console's output code page when the process has a console, else UTF-8
    Utf8,
    Console,    // the console's output code page (the OEM code page without a console)
};
void ConfigureOutput(OutputEncoding encoding);

// Text is UTF-8 inside the tool. Failed writes are remembered (OutputFailed).
void PrintOut(std::string_view text);
void PrintErr(std::string_view text);
// Whether standard output carries every character: a console, or bytes in
// UTF-8. Documents written to a narrower code page escape all but ASCII.
bool OutputCarriesUnicode();
// Whether writing to standard output failed; the error, when it did.
std::optional<std::string> OutputFailure();

// Standard input whole, as bytes; nullopt when it is a console (nothing was
// piped in). Throws ToolError when it holds more than limit bytes.
std::optional<std::string> ReadStandardInput(std::size_t limit);

// Started from Explorer: the only process on a console window of its own,
// with standard input and output on that console.
bool AloneOnOwnConsole();
void WaitForKey();
