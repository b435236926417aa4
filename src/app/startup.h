// The program's start-up and shutdown sequence.
#pragma once

namespace Q {

// The application title the main window's toolkit shows in the task bar.
extern const wchar_t kApplicationTitle[];

// Creates the main window under `title` and runs its message loop until it closes.
using RunMainWindowFn = void (*)(const wchar_t* title);

// Runs the whole program: keeps the command line, prepares COM and the environment, loads
// the core dictionary, checks the version, enables the privileges, runs the main window
// (when `runMainWindow` is set) and shuts down. Returns the exit code (0).
int PelmoraMain(const char* commandLine, RunMainWindowFn runMainWindow);

}  // namespace Q
