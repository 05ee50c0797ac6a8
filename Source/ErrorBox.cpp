#include "ErrorBox.h"

void showErrorBox (const juce::String& message)
{
    juce::AlertWindow::showOkCancelBox (juce::MessageBoxIconType::WarningIcon, "Error", message, {}, {}, nullptr,
                                        nullptr);
}
