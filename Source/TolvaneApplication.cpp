#include "TolvaneApplication.h"

void TolvaneApplication::initialise (const juce::String&)
{
    mainWindow = std::make_unique<MainWindow> (getApplicationName());
}

void TolvaneApplication::shutdown()
{
    mainWindow = nullptr;
}

void TolvaneApplication::systemRequestedQuit()
{
    juce::MessageManager::getInstance()->stopDispatchLoop();
}

TolvaneApplication::MainWindow::MainWindow (const juce::String& name)
    : DocumentWindow (name, juce::Colours::lightgrey, DocumentWindow::allButtons, true)
{
    setUsingNativeTitleBar (true);
    setSize (700, 600);
    centreWithSize (getWidth(), getHeight());
    setVisible (true);
}

void TolvaneApplication::MainWindow::closeButtonPressed()
{
    JUCEApplication::getInstance()->systemRequestedQuit();
}
