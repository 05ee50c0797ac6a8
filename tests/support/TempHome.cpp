#include "support/TempHome.h"

#include <cstdlib>
#include <filesystem>

namespace
{
void restoreVariable (const char* name, bool had, const std::string& value)
{
    if (had)
        setenv (name, value.c_str(), 1);
    else
        unsetenv (name);
}
} // namespace

TempHome::TempHome()
{
    char templ[] = "/tmp/tolvane-home-XXXXXX";
    root = mkdtemp (templ);

    if (const char* h = getenv ("HOME"))
    {
        hadHome = true;
        oldHome = h;
    }
    if (const char* x = getenv ("XDG_CONFIG_HOME"))
    {
        hadXdg = true;
        oldXdg = x;
    }

    std::filesystem::create_directories (root + "/.config");
    setenv ("HOME", root.c_str(), 1);
    setenv ("XDG_CONFIG_HOME", (root + "/.config").c_str(), 1);
}

TempHome::~TempHome()
{
    restoreVariable ("HOME", hadHome, oldHome);
    restoreVariable ("XDG_CONFIG_HOME", hadXdg, oldXdg);
    std::error_code ignored;
    std::filesystem::remove_all (root, ignored);
}

std::string TempHome::settingsFolder() const
{
    return root + "/.config/Quorvel/Tolvane";
}

std::string TempHome::settingsFile() const
{
    return settingsFolder() + "/Tolvane.xml";
}

std::string TempHome::logFile() const
{
    return settingsFolder() + "/Tolvane.log";
}
