#include "support/ProgramUnderTest.h"

#include <cstring>

extern char** environ;

juce::File builtProgram()
{
    return juce::File::getSpecialLocation (juce::File::currentExecutableFile)
        .getParentDirectory()
        .getParentDirectory()
        .getChildFile ("Tolvane");
}

std::vector<std::string> environmentWithDisplay (const char* display)
{
    std::vector<std::string> variables;
    for (char** v = environ; *v != nullptr; ++v)
        if (std::strncmp (*v, "DISPLAY=", 8) != 0)
            variables.emplace_back (*v);
    if (display != nullptr)
        variables.push_back (std::string ("DISPLAY=") + display);
    return variables;
}
