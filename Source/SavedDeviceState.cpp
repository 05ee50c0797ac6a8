#include "SavedDeviceState.h"

std::unique_ptr<juce::XmlElement> parseSavedDeviceState (const juce::String& text)
{
    auto state = juce::XmlDocument (text).getDocumentElement();
    if (state == nullptr)
        return nullptr;

    for (const char* channelSet : {"audioDeviceInChans", "audioDeviceOutChans"})
        if (state->getStringAttribute (channelSet).length() > kMaxSavedChannelSetLength)
            return nullptr;

    return state;
}
