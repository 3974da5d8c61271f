// A failure the tool reports in one line and ends on; the text is UTF-8, in
// the language spoken (made with Say, tool/language.h).
// The exit status says what kind of end it is (tool/exit_status.h).
#pragma once

#include <stdexcept>
#include <string>

#include "tool/exit_status.h"

class ToolError : public std::runtime_error {
public:
    explicit ToolError(const std::string& message, int status = kExitRefused)
        : std::runtime_error(message), m_status(status) {}
    int Status() const { return m_status; }

private:
    int m_status;
};
