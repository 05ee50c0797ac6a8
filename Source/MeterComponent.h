#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// One point of the level-to-height map: fraction of the bar height, level in dB.
struct MeterMapPoint
{
    float frac;
    float db;
};

constexpr int kMeterTabN = 8;
extern const MeterMapPoint gMeterTab[kMeterTabN];

// Fraction of the bar height for a level in dB, piecewise linear over tab
// (tabN points in ascending order); clamped to the first and last fraction.
float levelToFraction (const MeterMapPoint* tab, int tabN, float db);

// One vertical level bar with green, yellow and red zones.
class MeterBarComponent : public juce::Component
{
public:
    MeterBarComponent();
    ~MeterBarComponent() override;

    void paint (juce::Graphics& g) override;
    void resized() override;

    // One timer tick of the ballistics: rise at once, fall at most decayDb.
    void updateLevel (bool newPeaks, float peak);

    int borderWidth = 1;
    juce::Colour outlineColour = juce::Colours::lightgrey;
    juce::Colour backgroundColour = juce::Colours::black;
    float minDb = -96.0f;
    float maxDb = 3.0f;
    float decayDb = 6.0f;
    float levelDb = -96.0f;
    const MeterMapPoint* mapTab = gMeterTab;
    int mapTabN = kMeterTabN;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MeterBarComponent)
};

// A titled group of level bars with a dB scale and channel labels.
class MultiMeterComponent : public juce::Component
{
public:
    MultiMeterComponent();
    ~MultiMeterComponent() override;

    void paint (juce::Graphics& g) override;
    void resized() override;

    void setMaxNumChan (int n);
    void setNumChan (int n);
    void setChanLabels (juce::StringArray labels);
    void setTitle (juce::String newTitle);
    void setBackgroundColour (juce::Colour c);
    void setBarBackgroundColour (juce::Colour c);
    void setTextColour (juce::Colour c);
    void setOutlineColour (juce::Colour c);

    int getNumChan() const { return numChan; }
    int getMaxNumChan() const { return maxNumChan; }
    MeterBarComponent* getBar (int index) const { return bars[index]; }

    int topMargin = 30;
    int pad = 4;
    int leftMargin = 30;
    int barBorder = 1;
    int maxBarWidth = 24;
    int barPitch = 0;
    int barWidth = 0;
    int barHeight = 0;
    int firstBarX = 0;
    juce::Colour backgroundColour = juce::Colours::transparentBlack;
    juce::Colour textColour = juce::Colours::transparentBlack;
    juce::Colour outlineColour = juce::Colours::transparentBlack;
    juce::StringArray chanLabels;
    juce::String title;

private:
    int maxNumChan = 2;
    int numChan = 2;
    juce::OwnedArray<MeterBarComponent> bars;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MultiMeterComponent)
};
