#pragma once

#include "MainComponent.h"
#include "TolvaneApplication.h"
#include "support/JackServer.h"
#include "support/MessageLoop.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <utility>
#include <vector>

namespace harness
{
// Runs the message loop until the server's clock has run on by frames: the
// device has then had that much audio time, however slow the machine.
inline bool runMessageLoopForFrames (const JackServer& server, uint32_t frames)
{
    const uint32_t from = server.frameTime();
    return runMessageLoopUntil ([&] { return server.frameTime() - from >= frames; }, 120000);
}

// The keys and texts that a first start seeds, in seeding order.
inline const std::vector<std::pair<juce::String, juce::String>>& seededDefaultsInOrder()
{
    static const std::vector<std::pair<juce::String, juce::String>> defaults = {
        {"numRecChan", "1"},   {"numPlayChan", "1"}, {"mlsBits", "15"},     {"ampDb", "-6"},    {"numReps", "1"},
        {"gapDelay", "5"},     {"initDelay", "0.5"}, {"fmt", "WAV 24-bit"}, {"normalize", "1"}, {"autoCrop", "0"},
        {"cropThresh", "-42"}, {"logLevel", "2"},    {"type", "Sweep"},     {"sweepTime", "5"},
    };
    return defaults;
}

// The stored values after a first start, with one key set to value.
inline std::map<juce::String, juce::String> seededWith (const juce::String& key = {}, const juce::String& value = {})
{
    std::map<juce::String, juce::String> stored (seededDefaultsInOrder().begin(), seededDefaultsInOrder().end());
    if (key.isNotEmpty())
        stored[key] = value;
    return stored;
}

// The component by name among the direct children of parent.
inline juce::Component* findChild (juce::Component& parent, const juce::String& name)
{
    for (auto* child : parent.getChildren())
        if (child->getName() == name)
            return child;
    return nullptr;
}

template <typename T> T* findChildAs (juce::Component& parent, const juce::String& name)
{
    return dynamic_cast<T*> (findChild (parent, name));
}

// The one combo without a component name.
inline juce::ComboBox* findOutFileCombo (juce::Component& parent)
{
    for (auto* child : parent.getChildren())
        if (child->getName().isEmpty())
            if (auto* combo = dynamic_cast<juce::ComboBox*> (child))
                return combo;
    return nullptr;
}

// A MainComponent on a settings file in a temporary home, built from the
// given stored values (nothing seeded). build() delivers the start-up
// notifications (the restored combos' async changes) unless asked not to. A
// test that plays through JACK asks for its server with startJackServer():
// the component, and with it the device, always goes before the server stops.
class MainComponentTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        home = std::make_unique<TempHome>();
        folder = juce::File (home->path());
        settingsFile = juce::File (home->settingsFile());
        settingsFile.getParentDirectory().createDirectory();
    }

    void TearDown() override
    {
        component = nullptr;
        jackServer = nullptr;
        settings = nullptr;
        home = nullptr;
    }

    // A private JACK server for the rest of the test.
    JackServer& startJackServer (JackServer::Options options = {})
    {
        component = nullptr;
        jackServer = std::make_unique<JackServer> (options);
        return *jackServer;
    }

    void build (const std::map<juce::String, juce::String>& stored) { build (stored, true); }

    void build (const std::map<juce::String, juce::String>& stored, bool deliverNotifications)
    {
        component = nullptr;
        settings = std::make_unique<juce::PropertiesFile> (settingsFile, TolvaneApplication::getSettingsOptions());
        settings->clear();
        for (const auto& [key, value] : stored)
            settings->setValue (key, value);
        settings->save();
        component = std::make_unique<MainComponent> (settings.get());
        if (deliverNotifications)
        {
            EXPECT_TRUE (deliverPostedMessages()) << "the start-up notifications did not arrive";
        }
    }

    juce::ComboBox& combo (const juce::String& name)
    {
        auto* c =
            name == "outFileCombo" ? findOutFileCombo (*component) : findChildAs<juce::ComboBox> (*component, name);
        EXPECT_NE (c, nullptr) << name;
        return *c;
    }

    juce::Component& child (const juce::String& name)
    {
        auto* c = findChild (*component, name);
        EXPECT_NE (c, nullptr) << name;
        return *c;
    }

    juce::String stored (const juce::String& key, const juce::String& fallback = "<absent>")
    {
        return settings->getValue (key, fallback);
    }

    std::unique_ptr<TempHome> home;
    juce::File folder; // the temporary home, removed after the test
    juce::File settingsFile;
    std::unique_ptr<juce::PropertiesFile> settings;
    std::unique_ptr<JackServer> jackServer; // declared before the component, so it goes after it
    std::unique_ptr<MainComponent> component;
};
} // namespace harness
