#include "ComboBoxSelection.h"

void initComboBoxSelection (juce::ComboBox* combo, const juce::String& text)
{
    for (int i = 0; i < combo->getNumItems(); ++i)
    {
        if (combo->getItemText (i) == text)
        {
            combo->setSelectedId (combo->getItemId (i), juce::dontSendNotification);
            return;
        }
    }

    if (combo->getNumItems() > 0)
        combo->setSelectedItemIndex (0, juce::dontSendNotification);
    else
        combo->setSelectedId (0, juce::dontSendNotification);
}
