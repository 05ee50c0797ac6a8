#pragma once

#include <juce_core/juce_core.h>

#include <memory>

// The most characters of a saved channel set ("audioDeviceInChans",
// "audioDeviceOutChans": one binary digit a device channel). No device has
// more channels; the device manager reads a set in time that grows with the
// square of its length, so a set of a million digits would stall every
// start for many seconds.
constexpr int kMaxSavedChannelSetLength = 4096;

// The device manager's state kept in "audioSettings", parsed as a whole XML
// document: null for an empty or malformed text, and for a state with a
// channel set longer than kMaxSavedChannelSetLength, which no device can
// have used. The device manager then opens the default device.
std::unique_ptr<juce::XmlElement> parseSavedDeviceState (const juce::String& text);
