#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// Placeholder until the level meters are built.
class MultiMeterComponent : public juce::Component
{
public:
    MultiMeterComponent() = default;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MultiMeterComponent)
};
