#include "MeterComponent.h"

#include <cmath>
#include <cstdio>

const MeterMapPoint gMeterTab[kMeterTabN] = {
    {0.0f, -96.0f},        {1.0f / 7.0f, -48.0f}, {2.0f / 7.0f, -36.0f}, {3.0f / 7.0f, -24.0f},
    {4.0f / 7.0f, -12.0f}, {5.0f / 7.0f, -6.0f},  {6.0f / 7.0f, -3.0f},  {1.0f, 0.0f},
};

namespace
{
const juce::Colour kGreen (0xffa0ff48);
const juce::Colour kYellow (0xfffdfd18);
const juce::Colour kRed (0xffff1414);

// Where the yellow and the red zone begin, as fractions of the bar height.
constexpr float kYellowFrom = 5.0f / 7.0f;
constexpr float kRedFrom = 6.0f / 7.0f;

constexpr int kManyBars = 8; // more bars than this get the small label font
constexpr float kSmallFontHeight = 10.0f;
} // namespace

float levelToFraction (const MeterMapPoint* tab, int tabN, float db)
{
    if (tab == nullptr || tabN < 1)
        return 0.0f;
    if (!(db > tab[0].db)) // also a level that is not a number
        return tab[0].frac;
    if (db >= tab[tabN - 1].db)
        return tab[tabN - 1].frac;

    int lo = 0;
    int hi = tabN - 1;
    while (hi > lo + 1)
    {
        const int mid = (lo + hi) / 2;
        if (tab[mid].db <= db)
            lo = mid;
        else
            hi = mid;
    }
    return (tab[hi].frac - tab[lo].frac) / (tab[hi].db - tab[lo].db) * (db - tab[lo].db) + tab[lo].frac;
}

MeterBarComponent::MeterBarComponent() = default;
MeterBarComponent::~MeterBarComponent() = default;

void MeterBarComponent::paint (juce::Graphics& g)
{
    const int b = borderWidth;
    const int iw = juce::jmax (0, getWidth() - 2 * b);
    const int ih = juce::jmax (0, getHeight() - 2 * b);

    g.setColour (backgroundColour);
    g.fillRect (b, b, iw, ih);
    g.setColour (outlineColour);
    g.drawRect (0, 0, getWidth(), getHeight(), b);

    const float f = levelToFraction (mapTab, mapTabN, levelDb);
    auto top = [b, ih] (float x) { return b + (int)((1.0f - x) * (float)ih); };
    auto zone = [&] (juce::Colour colour, float lower, float upper)
    {
        const int y = top (upper);
        g.setColour (colour);
        g.fillRect (b, y, iw, juce::jmax (0, top (lower) - y));
    };

    if (f > 0.0f)
        zone (kGreen, 0.0f, juce::jmin (f, kYellowFrom));
    if ((double)f > 5.0 / 7.0)
        zone (kYellow, kYellowFrom, juce::jmin (f, kRedFrom));
    if ((double)f > 6.0 / 7.0)
        zone (kRed, kRedFrom, juce::jmin (f, 1.0f));
}

void MeterBarComponent::resized() {}

void MeterBarComponent::updateLevel (bool newPeaks, float peak)
{
    float target = minDb;
    if (newPeaks && peak > 0.0f) // a peak that is not a number counts as silence
    {
        const float d = 20.0f * std::log10 (peak);
        target = minDb > d ? minDb : (d > maxDb ? maxDb : d);
    }

    const float oldDb = levelDb;
    levelDb = target >= oldDb ? target : oldDb - juce::jmin (decayDb, oldDb - target);

    if (levelDb != oldDb)
        repaint();
}

MultiMeterComponent::MultiMeterComponent()
{
    setMaxNumChan (2);
}

MultiMeterComponent::~MultiMeterComponent() = default;

void MultiMeterComponent::paint (juce::Graphics& g)
{
    const int w = getWidth();
    const int h = getHeight();

    g.setColour (backgroundColour);
    g.fillRect (0, 0, w, h);
    g.setColour (outlineColour);
    g.drawRect (0, 0, w, h, 1);

    g.setColour (textColour);
    g.setFont (juce::Font());
    g.drawText (title, 0, 0, w, topMargin, juce::Justification::centred, false);

    if (numChan > kManyBars)
        g.setFont (juce::Font (kSmallFontHeight));
    for (int i = 0; i < numChan; ++i)
    {
        const int x = leftMargin + firstBarX + i * barPitch + barWidth / 2 - leftMargin / 2;
        const int y = topMargin + barHeight + 2 * pad;
        g.drawText (chanLabels[i], x, y, leftMargin, topMargin, juce::Justification::centred, false);
    }

    auto levelLine = [this] (int k) { return topMargin + pad + (int)((1.0f - gMeterTab[k].frac) * (float)barHeight); };

    g.setFont (juce::Font (kSmallFontHeight));
    const int labelHeight = barHeight / 7;
    for (int k = 0; k < kMeterTabN; ++k)
    {
        char text[32];
        snprintf (text, sizeof text, "%g", (double)gMeterTab[k].db);
        g.drawText (text, firstBarX, levelLine (k) - labelHeight / 2, leftMargin, labelHeight,
                    juce::Justification::centred, false);
    }

    // The -96 dB tick sits on the bar's last row rather than just below it.
    g.setColour (outlineColour);
    for (int k = 0; k < kMeterTabN; ++k)
        for (int i = 0; i < numChan; ++i)
            g.fillRect (leftMargin + firstBarX + i * barPitch - 2, levelLine (k) - (k == 0 ? 1 : 0), 2, 1);
}

void MultiMeterComponent::resized()
{
    const int n = numChan;
    barWidth = juce::jmax (0, juce::jmin (((getWidth() - leftMargin) / n) / 2, maxBarWidth));
    barPitch = 2 * barWidth;
    firstBarX = (getWidth() + (1 - n) * barPitch - leftMargin - barWidth) / 2;
    barHeight = getHeight() - 2 * topMargin - 2 * pad;

    for (int i = 0; i < n; ++i)
        bars[i]->setBounds (leftMargin + firstBarX + i * barPitch, topMargin + pad, barWidth, barHeight);

    repaint();
}

void MultiMeterComponent::setMaxNumChan (int n)
{
    bars.clear();
    maxNumChan = n;

    do
    {
        auto* bar = bars.add (new MeterBarComponent());
        bar->borderWidth = barBorder;
        addAndMakeVisible (bar);
    } while (bars.size() < maxNumChan);

    // Never show more bars than exist, so layout and updates stay in range.
    numChan = juce::jmin (numChan, bars.size());
}

void MultiMeterComponent::setNumChan (int n)
{
    // Clamped to the bars that exist: one even when maxNumChan is 0 or less.
    numChan = juce::jlimit (1, bars.size(), n);
    for (int c = 0; c < bars.size(); ++c)
        bars[c]->setVisible (c < numChan);
    resized();
}

void MultiMeterComponent::setChanLabels (juce::StringArray labels)
{
    chanLabels = std::move (labels);
    repaint();
}

void MultiMeterComponent::setTitle (juce::String newTitle)
{
    title = std::move (newTitle);
    repaint();
}

void MultiMeterComponent::setBackgroundColour (juce::Colour c)
{
    backgroundColour = c;
    repaint();
}

void MultiMeterComponent::setBarBackgroundColour (juce::Colour c)
{
    for (auto* bar : bars)
    {
        bar->backgroundColour = c;
        bar->repaint();
    }
}

void MultiMeterComponent::setTextColour (juce::Colour c)
{
    textColour = c;
    repaint();
}

void MultiMeterComponent::setOutlineColour (juce::Colour c)
{
    outlineColour = c;
    for (auto* bar : bars)
    {
        bar->outlineColour = c;
        bar->repaint();
    }
    repaint();
}
