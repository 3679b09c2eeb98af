// The two text steps of launching on Win32, shared with the tests.
#pragma once

#include <string>

// The command line for CreateProcessW: the target in double quotes (unless
// it already starts with one), then a blank and the parameters if any.
std::wstring LaunchCommandLine(const std::wstring& target, const std::wstring& parameters);

// The working directory for the shell when none was given: the target's
// text up to and including its last backslash, not counting a backslash in
// the first position; empty when there is none (a web address).
std::wstring LaunchFolder(const std::wstring& target);
