#include "MeterComponent.h"

// Placeholder bodies until the meters are built.
const MeterMapPoint gMeterTab[kMeterTabN] = {};

MeterBarComponent::MeterBarComponent() = default;
MeterBarComponent::~MeterBarComponent() = default;
void MeterBarComponent::paint (juce::Graphics&) {}
void MeterBarComponent::resized() {}
void MeterBarComponent::updateLevel (bool, float) {}

MultiMeterComponent::MultiMeterComponent() = default;
MultiMeterComponent::~MultiMeterComponent() = default;
void MultiMeterComponent::paint (juce::Graphics&) {}
void MultiMeterComponent::resized() {}
void MultiMeterComponent::setMaxNumChan (int) {}
void MultiMeterComponent::setNumChan (int) {}
void MultiMeterComponent::setChanLabels (juce::StringArray) {}
void MultiMeterComponent::setTitle (juce::String) {}
void MultiMeterComponent::setBackgroundColour (juce::Colour) {}
void MultiMeterComponent::setBarBackgroundColour (juce::Colour) {}
void MultiMeterComponent::setTextColour (juce::Colour) {}
void MultiMeterComponent::setOutlineColour (juce::Colour) {}
