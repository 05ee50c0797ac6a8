#pragma once

#include <juce_core/juce_core.h>

#include <string>
#include <vector>

#include <sys/types.h>

// The Tolvane executable of this build, beside the test programs' folder.
juce::File builtProgram();

// This process's environment for a child process, as "NAME=value" texts, with
// DISPLAY set to display, or removed when display is null.
std::vector<std::string> environmentWithDisplay (const char* display);

// Starts the Tolvane executable of this build with the given environment
// ("NAME=value" texts). Returns its process id, or -1 when it did not start.
pid_t startBuiltProgram (std::vector<std::string> environment);
