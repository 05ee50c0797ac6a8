#pragma once

#include "MainComponent.h"

#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <cstdlib>
#include <map>
#include <memory>

namespace harness
{
// One message manager and desktop for the whole test program; JUCE does not
// like being shut down and started again in one process.
inline void initialiseJuceOnce()
{
    static auto* gui = new juce::ScopedJuceInitialiser_GUI();
    (void)gui;
}

inline void pumpMessages (int milliseconds = 50)
{
    juce::MessageManager::getInstance()->runDispatchLoopUntil (milliseconds);
}

// The settings store options the application uses.
inline juce::PropertiesFile::Options settingsOptions()
{
    juce::PropertiesFile::Options options;
    options.applicationName = "Tolvane";
    options.filenameSuffix = ".xml";
    options.ignoreCaseOfKeyNames = true;
    options.millisecondsBeforeSaving = 500;
    options.storageFormat = juce::PropertiesFile::storeAsXML;
    return options;
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

// A MainComponent on a settings file in a temporary folder, built from the
// given stored values (nothing seeded), with the start-up notifications delivered.
class MainComponentTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        initialiseJuceOnce();
        folder = juce::File::createTempFile ("tolvane-test");
        folder.createDirectory();
        settingsFile = folder.getChildFile ("Tolvane.xml");
    }

    void TearDown() override
    {
        component = nullptr;
        settings = nullptr;
        folder.deleteRecursively();
    }

    void build (const std::map<juce::String, juce::String>& stored)
    {
        component = nullptr;
        settings = std::make_unique<juce::PropertiesFile> (settingsFile, settingsOptions());
        settings->clear();
        for (const auto& [key, value] : stored)
            settings->setValue (key, value);
        settings->save();
        component = std::make_unique<MainComponent> (settings.get());
        pumpMessages();
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

    juce::File folder;
    juce::File settingsFile;
    std::unique_ptr<juce::PropertiesFile> settings;
    std::unique_ptr<MainComponent> component;
};
} // namespace harness
