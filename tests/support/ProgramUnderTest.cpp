#include "support/ProgramUnderTest.h"

#include <cstring>

#include <spawn.h>

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

pid_t startBuiltProgram (std::vector<std::string> environment)
{
    const std::string path = builtProgram().getFullPathName().toStdString();
    char* argv[] = {const_cast<char*> (path.c_str()), nullptr};
    std::vector<char*> envp;
    for (auto& e : environment)
        envp.push_back (e.data());
    envp.push_back (nullptr);
    pid_t pid = -1;
    return posix_spawn (&pid, path.c_str(), nullptr, nullptr, argv, envp.data()) == 0 ? pid : -1;
}
