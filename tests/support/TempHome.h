#pragma once

#include <string>

// Points HOME and XDG_CONFIG_HOME at a fresh temporary folder for the life of
// the object, so a test never reads or writes the real user's settings.
class TempHome
{
public:
    TempHome();
    ~TempHome();

    TempHome (const TempHome&) = delete;
    TempHome& operator= (const TempHome&) = delete;

    const std::string& path() const { return root; }

    // Where the program keeps Tolvane.xml and Tolvane.log under this home.
    std::string settingsFolder() const;
    std::string settingsFile() const;
    std::string logFile() const;

private:
    std::string root;
    std::string oldHome, oldXdg;
    bool hadHome = false, hadXdg = false;
};
