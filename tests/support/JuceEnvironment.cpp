// Every test program that links the shared fixtures runs with JUCE's GUI
// initialised once, on the thread that runs the tests (the message thread).
#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>

namespace
{
class JuceGuiEnvironment : public ::testing::Environment
{
public:
    void SetUp() override
    {
        // JUCE installs its X error handlers only for a standalone app; without
        // them a harmless error (Xvfb has no window manager) would end the process.
        if (juce::JUCEApplicationBase::createInstance == nullptr)
            juce::JUCEApplicationBase::createInstance = []() -> juce::JUCEApplicationBase* { return nullptr; };
        juce = std::make_unique<juce::ScopedJuceInitialiser_GUI>();
    }
    void TearDown() override { juce = nullptr; }

private:
    std::unique_ptr<juce::ScopedJuceInitialiser_GUI> juce;
};

[[maybe_unused]] auto* const registered = ::testing::AddGlobalTestEnvironment (new JuceGuiEnvironment);
} // namespace
