#include <gtest/gtest.h>

#include "MeterComponent.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <set>
#include <utility>
#include <vector>

namespace
{
const juce::Colour kGreen (0xffa0ff48);
const juce::Colour kYellow (0xfffdfd18);
const juce::Colour kRed (0xffff1414);
const juce::Colour kBarBackground (0xff102030);
const juce::Colour kOutline (0xff8e989b);

// Counts the repaints a component asks for, with no window behind it.
struct RepaintCounter : juce::CachedComponentImage
{
    explicit RepaintCounter (int& countToUse) : count (countToUse) {}
    void paint (juce::Graphics&) override {}
    bool invalidateAll() override { return ++count > 0; }
    bool invalidate (const juce::Rectangle<int>&) override { return ++count > 0; }
    void releaseResources() override {}
    int& count;
};

// Paints like the software renderer and notes each glyph: its number, font
// height, baseline origin and colour.
struct GlyphRecorder : juce::LowLevelGraphicsSoftwareRenderer
{
    struct Glyph
    {
        float fontHeight;
        float x;
        float y;
        int number;
        juce::Colour colour;
    };

    explicit GlyphRecorder (const juce::Image& image) : juce::LowLevelGraphicsSoftwareRenderer (image) {}

    void setFill (const juce::FillType& fill) override
    {
        colours.back() = fill.colour;
        juce::LowLevelGraphicsSoftwareRenderer::setFill (fill);
    }

    void saveState() override
    {
        colours.push_back (colours.back());
        juce::LowLevelGraphicsSoftwareRenderer::saveState();
    }

    void restoreState() override
    {
        if (colours.size() > 1)
            colours.pop_back();
        juce::LowLevelGraphicsSoftwareRenderer::restoreState();
    }

    void drawGlyph (int glyphNumber, const juce::AffineTransform& t) override
    {
        glyphs.push_back (
            {getFont().getHeight(), t.getTranslationX(), t.getTranslationY(), glyphNumber, colours.back()});
        juce::LowLevelGraphicsSoftwareRenderer::drawGlyph (glyphNumber, t);
    }

    std::vector<Glyph> glyphs;
    std::vector<juce::Colour> colours{juce::Colours::black};
};

class MeterTest : public ::testing::Test
{
protected:
    juce::ScopedJuceInitialiser_GUI juce;
};

// A 24 x 116 bar, the size of one bar of a two-channel meter in the main window.
class MeterBarTest : public MeterTest
{
protected:
    void SetUp() override
    {
        bar.setBounds (0, 0, 24, 116);
        bar.backgroundColour = kBarBackground;
        bar.outlineColour = kOutline;
    }

    juce::Image paintBar()
    {
        juce::Image image (juce::Image::ARGB, bar.getWidth(), bar.getHeight(), true);
        juce::Graphics g (image);
        bar.paint (g);
        return image;
    }

    MeterBarComponent bar;
};

struct Rows
{
    int from; // first row, inclusive
    int to;   // last row, exclusive
    juce::Colour colour;
};

TEST_F (MeterBarTest, PaintsBackgroundOutlineAndZones)
{
    struct Case
    {
        float levelDb;
        std::vector<Rows> inside; // rows 1 .. 114, between the outline rows
    };
    const Case cases[] = {
        {-96.0f, {{1, 115, kBarBackground}}},
        {-200.0f, {{1, 115, kBarBackground}}},
        {-20.0f, {{1, 60, kBarBackground}, {60, 115, kGreen}}},
        {-6.0f, {{1, 33, kBarBackground}, {33, 115, kGreen}}},
        {-4.5f, {{1, 25, kBarBackground}, {25, 33, kYellow}, {33, 115, kGreen}}},
        {3.0f, {{1, 17, kRed}, {17, 33, kYellow}, {33, 115, kGreen}}},
    };
    for (const auto& c : cases)
    {
        bar.levelDb = c.levelDb;
        const juce::Image image = paintBar();
        for (int x = 0; x < 24; ++x)
        {
            EXPECT_EQ (image.getPixelAt (x, 0), kOutline) << c.levelDb << " dB, top row, x " << x;
            EXPECT_EQ (image.getPixelAt (x, 115), kOutline) << c.levelDb << " dB, bottom row, x " << x;
        }
        for (const auto& rows : c.inside)
            for (int y = rows.from; y < rows.to; ++y)
            {
                ASSERT_EQ (image.getPixelAt (0, y), kOutline) << c.levelDb << " dB, left edge, y " << y;
                ASSERT_EQ (image.getPixelAt (23, y), kOutline) << c.levelDb << " dB, right edge, y " << y;
                for (int x = 1; x < 23; ++x)
                    ASSERT_EQ (image.getPixelAt (x, y), rows.colour) << c.levelDb << " dB at " << x << ", " << y;
            }
    }
}

TEST (MeterLevelToFraction, PiecewiseLinearOverTheTable)
{
    struct Case
    {
        float db;
        float frac;
    };
    const Case cases[] = {
        {-200.0f, 0.0f},
        {-96.0f, 0.0f},
        {-48.0f, 1.0f / 7.0f},
        {-20.0f, 3.0f / 7.0f + 1.0f / 21.0f},
        {-6.0f, 5.0f / 7.0f},
        {-4.5f, 11.0f / 14.0f},
        {0.0f, 1.0f},
        {3.0f, 1.0f},
        {std::numeric_limits<float>::quiet_NaN(), 0.0f},
    };
    for (const auto& c : cases)
        EXPECT_NEAR (levelToFraction (gMeterTab, kMeterTabN, c.db), c.frac, 1e-6f) << c.db << " dB";
}

TEST_F (MeterBarTest, FallsSixDbPerTickAndRisesAtOnce)
{
    bar.updateLevel (true, 1.0f);
    ASSERT_FLOAT_EQ (bar.levelDb, 0.0f);
    for (int tick = 1; tick <= 16; ++tick)
    {
        bar.updateLevel (false, 1.0f); // the peak is ignored without new peaks
        ASSERT_FLOAT_EQ (bar.levelDb, -6.0f * (float)tick) << "tick " << tick;
    }
    bar.updateLevel (false, 0.0f);
    EXPECT_FLOAT_EQ (bar.levelDb, -96.0f) << "rests at the floor";

    bar.updateLevel (true, 0.5f);
    EXPECT_NEAR (bar.levelDb, -6.0206f, 1e-3f) << "a louder peak shows on the next tick";
    bar.updateLevel (true, 0.001f);
    EXPECT_NEAR (bar.levelDb, -12.0206f, 1e-3f) << "a quieter peak only lets the bar fall 6 dB";
}

TEST_F (MeterBarTest, PeakTargets)
{
    struct Case
    {
        const char* what;
        bool newPeaks;
        float peak;
        float levelDb;
    };
    const Case cases[] = {
        {"zero peak is silence", true, 0.0f, -96.0f},
        {"negative peak is silence", true, -0.5f, -96.0f},
        {"peak that is not a number is silence", true, std::numeric_limits<float>::quiet_NaN(), -96.0f},
        {"below the floor", true, 1e-9f, -96.0f},
        {"above full scale stops at +3 dB", true, 4.0f, 3.0f},
        {"infinite peak stops at +3 dB", true, std::numeric_limits<float>::infinity(), 3.0f},
        {"-20 dB", true, 0.1f, -20.0f},
    };
    for (const auto& c : cases)
    {
        bar.levelDb = -96.0f;
        bar.updateLevel (c.newPeaks, c.peak);
        EXPECT_NEAR (bar.levelDb, c.levelDb, 1e-4f) << c.what;
    }
}

TEST_F (MeterBarTest, RepaintsOnlyWhenTheLevelChanged)
{
    int repaints = 0;
    bar.setVisible (true);
    bar.setCachedComponentImage (new RepaintCounter (repaints));
    repaints = 0; // installing the counter repaints once

    bar.updateLevel (true, 0.0f);
    bar.updateLevel (false, 0.0f);
    EXPECT_EQ (repaints, 0) << "a bar resting at -96 dB";

    bar.updateLevel (true, 1.0f);
    EXPECT_EQ (repaints, 1);
    bar.updateLevel (true, 1.0f);
    EXPECT_EQ (repaints, 1) << "same level again";
    bar.updateLevel (false, 0.0f);
    EXPECT_EQ (repaints, 2) << "falling";
}

class MultiMeterTest : public MeterTest
{
protected:
    MultiMeterComponent meter;
};

TEST_F (MultiMeterTest, StartsWithTwoVisibleBars)
{
    EXPECT_EQ (meter.getMaxNumChan(), 2);
    EXPECT_EQ (meter.getNumChan(), 2);
    for (int i = 0; i < 2; ++i)
    {
        ASSERT_NE (meter.getBar (i), nullptr);
        EXPECT_TRUE (meter.getBar (i)->isVisible());
        EXPECT_EQ (meter.getBar (i)->getParentComponent(), &meter);
    }
    EXPECT_EQ (meter.getBar (2), nullptr);
}

TEST_F (MultiMeterTest, LayoutOfTheMainWindowMeter)
{
    struct Case
    {
        int n;
        int barWidth;
        int barPitch;
        int firstBarX;
        int firstX;
    };
    const Case cases[] = {
        {2, 24, 48, 61, 91},
        {16, 6, 12, 4, 34},
    };
    for (const auto& c : cases)
    {
        meter.setMaxNumChan (16);
        meter.setBounds (0, 0, 224, 184);
        meter.setNumChan (c.n);
        EXPECT_EQ (meter.barWidth, c.barWidth) << c.n << " bars";
        EXPECT_EQ (meter.barPitch, c.barPitch) << c.n << " bars";
        EXPECT_EQ (meter.firstBarX, c.firstBarX) << c.n << " bars";
        EXPECT_EQ (meter.barHeight, 116) << c.n << " bars";
        for (int i = 0; i < 16; ++i)
        {
            const MeterBarComponent* bar = meter.getBar (i);
            ASSERT_NE (bar, nullptr);
            EXPECT_EQ (bar->isVisible(), i < c.n) << c.n << " bars, bar " << i;
            if (i < c.n)
            {
                EXPECT_EQ (bar->getBounds(), juce::Rectangle<int> (c.firstX + i * c.barPitch, 34, c.barWidth, 116))
                    << c.n << " bars, bar " << i;
            }
        }
    }
}

TEST_F (MultiMeterTest, NumberOfBarsShownIsClamped)
{
    struct Case
    {
        int maxNumChan;
        int requested;
        int shown;
    };
    const Case cases[] = {
        {16, 0, 1}, {16, -3, 1}, {16, 9, 9}, {16, 17, 16}, {16, 16, 16}, {0, 5, 1}, {-2, 1, 1}, {1, 2, 1}, {3, 3, 3},
    };
    for (const auto& c : cases)
    {
        meter.setMaxNumChan (c.maxNumChan);
        meter.setNumChan (c.requested);
        meter.setBounds (0, 0, 224, 184);
        EXPECT_EQ (meter.getNumChan(), c.shown) << "max " << c.maxNumChan << ", asked " << c.requested;
        for (int i = 0; i < meter.getNumChan(); ++i)
            ASSERT_NE (meter.getBar (i), nullptr) << "max " << c.maxNumChan << ", bar " << i;
    }
}

TEST_F (MultiMeterTest, FewerBarsThanShownLowersTheCount)
{
    meter.setMaxNumChan (16);
    meter.setNumChan (16);
    meter.setMaxNumChan (0);
    ASSERT_NE (meter.getBar (0), nullptr) << "setMaxNumChan (0) still makes one bar";
    EXPECT_EQ (meter.getBar (1), nullptr);
    EXPECT_EQ (meter.getNumChan(), 1) << "bars past the new count no longer exist";
    meter.setBounds (0, 0, 224, 184);
    EXPECT_EQ (meter.getBar (0)->getBounds(), juce::Rectangle<int> (115, 34, 24, 116));
}

TEST_F (MultiMeterTest, NewBarsTakeTheMeterBorder)
{
    meter.barBorder = 3;
    meter.setMaxNumChan (4);
    for (int i = 0; i < 4; ++i)
    {
        EXPECT_EQ (meter.getBar (i)->borderWidth, 3);
        EXPECT_FLOAT_EQ (meter.getBar (i)->levelDb, -96.0f);
    }
}

TEST_F (MultiMeterTest, ColoursReachTheBars)
{
    meter.setMaxNumChan (3);
    meter.setBarBackgroundColour (kBarBackground);
    meter.setOutlineColour (kOutline);
    for (int i = 0; i < 3; ++i)
    {
        EXPECT_EQ (meter.getBar (i)->backgroundColour, kBarBackground);
        EXPECT_EQ (meter.getBar (i)->outlineColour, kOutline);
    }
    EXPECT_EQ (meter.outlineColour, kOutline);
}

// Glyphs of the channel labels, which stand below the bars and the dB scale.
std::vector<GlyphRecorder::Glyph> labelGlyphs (MultiMeterComponent& meter)
{
    juce::Image image (juce::Image::ARGB, meter.getWidth(), meter.getHeight(), true);
    GlyphRecorder recorder (image);
    juce::Graphics g (recorder);
    meter.paint (g);

    const float belowScale = (float)(meter.topMargin + meter.barHeight + 2 * meter.pad) + 5.0f;
    std::vector<GlyphRecorder::Glyph> labels;
    for (const auto& glyph : recorder.glyphs)
        if (glyph.y > belowScale)
            labels.push_back (glyph);
    return labels;
}

TEST_F (MultiMeterTest, ChannelLabelsUseTheSmallFontFromNineBars)
{
    struct Case
    {
        int n;
        float fontHeight;
    };
    const Case cases[] = {{2, 14.0f}, {8, 14.0f}, {9, 10.0f}, {16, 10.0f}};
    for (const auto& c : cases)
    {
        meter.setMaxNumChan (16);
        meter.setBounds (0, 0, 224, 184);
        meter.setNumChan (c.n);
        juce::StringArray labels;
        for (int i = 0; i < c.n; ++i)
            labels.add ("X");
        meter.setChanLabels (labels);

        const auto glyphs = labelGlyphs (meter);
        ASSERT_EQ ((int)glyphs.size(), c.n) << c.n << " bars";
        for (int i = 0; i < c.n; ++i)
        {
            EXPECT_FLOAT_EQ (glyphs[(size_t)i].fontHeight, c.fontHeight) << c.n << " bars, label " << i;
            const float barCentre = (float)(meter.getBar (i)->getX() + meter.barWidth / 2);
            EXPECT_NEAR (glyphs[(size_t)i].x, barCentre, 6.0f) << c.n << " bars, label " << i;
        }
    }
}

TEST_F (MultiMeterTest, LabelPastTheEndOfTheArrayIsEmpty)
{
    meter.setMaxNumChan (16);
    meter.setBounds (0, 0, 224, 184);
    meter.setNumChan (3);
    meter.setChanLabels ({"A"});
    const auto glyphs = labelGlyphs (meter);
    ASSERT_EQ (glyphs.size(), 1u);
    EXPECT_NEAR (glyphs[0].x, (float)(meter.getBar (0)->getX() + meter.barWidth / 2), 6.0f);
}

// A text that the meter draws centred in a box, in a font of the given height.
struct CentredText
{
    juce::String text;
    juce::Rectangle<int> box;
    float fontHeight;

    juce::Font font() const { return juce::Font (fontHeight); }

    // Where the glyphs of a centred single line go: the line's advance width
    // and its font height centred in the box.
    float left() const
    {
        juce::Array<int> numbers;
        juce::Array<float> offsets;
        font().getGlyphPositions (text, numbers, offsets);
        return (float)box.getX() + ((float)box.getWidth() - (offsets.getLast() - offsets.getFirst())) * 0.5f;
    }
    float baseline() const
    {
        return (float)box.getY() + ((float)box.getHeight() - font().getHeight()) * 0.5f + font().getAscent();
    }

    std::vector<GlyphRecorder::Glyph> glyphs (juce::Colour colour) const
    {
        juce::Array<int> numbers;
        juce::Array<float> offsets;
        font().getGlyphPositions (text, numbers, offsets);
        std::vector<GlyphRecorder::Glyph> result;
        for (int i = 0; i < numbers.size(); ++i)
            result.push_back ({fontHeight, left() + offsets[i] - offsets[0], baseline(), numbers[i], colour});
        return result;
    }

    // The area the glyphs may ink, with a margin for anti-aliasing.
    juce::Rectangle<int> inkArea() const
    {
        const float width = font().getStringWidthFloat (text);
        return juce::Rectangle<float> (left(), baseline() - font().getAscent(), width, font().getHeight())
            .getSmallestIntegerContainer()
            .expanded (2);
    }
};

// The meter of the main window, 224 x 184, painted on its own (its bars are
// child components that paint themselves): the background and its outline,
// the title, a channel label under every bar, the dB scale left of the first
// bar with each label centred on its level, and a tick left of every bar at
// every level of the scale.
TEST_F (MultiMeterTest, PaintsFrameTitleLabelsScaleAndTicks)
{
    const juce::Colour background (0xff203040);
    const juce::Colour text (0xfff0f0f0);
    const juce::Colour outline (0xff8e989b);

    // The scale's levels from -96 dB at the bottom to 0 dB at the top, and
    // their rows: 34 + trunc((1 - k / 7) * 116) for a bar 116 high at y 34.
    const char* const levelTexts[kMeterTabN] = {"-96", "-48", "-36", "-24", "-12", "-6", "-3", "0"};
    const int levelRows[kMeterTabN] = {150, 133, 116, 100, 83, 67, 50, 34};

    struct Case
    {
        int n;
        const char* title;
        float labelFontHeight;
        int firstBarX, barWidth, barPitch;
    };
    const Case cases[] = {
        {2, "IN", 14.0f, 61, 24, 48},
        {16, "OUT", 10.0f, 4, 6, 12},
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (juce::String (c.n) + " bars");
        juce::StringArray labels;
        for (int i = 0; i < c.n; ++i)
            labels.add (c.n == 2 ? juce::String (i == 0 ? "L" : "R") : juce::String (i));

        meter.setMaxNumChan (16);
        meter.setBounds (0, 0, 224, 184);
        meter.setNumChan (c.n);
        meter.setTitle (c.title);
        meter.setChanLabels (labels);
        meter.setBackgroundColour (background);
        meter.setTextColour (text);
        meter.setOutlineColour (outline);

        juce::Image image (juce::Image::ARGB, 224, 184, true);
        GlyphRecorder recorder (image);
        {
            juce::Graphics g (recorder);
            meter.paint (g);
        }

        std::vector<CentredText> texts;
        texts.push_back ({c.title, {0, 0, 224, 30}, 14.0f});
        for (int i = 0; i < c.n; ++i)
            texts.push_back (
                {labels[i], {30 + c.firstBarX + i * c.barPitch + c.barWidth / 2 - 15, 154, 30, 30}, c.labelFontHeight});
        for (int k = 0; k < kMeterTabN; ++k)
            texts.push_back ({levelTexts[k], {c.firstBarX, levelRows[k] - 8, 30, 16}, 10.0f});

        // Every text in its place, font and colour, and nothing else written.
        auto drawn = recorder.glyphs;
        for (const auto& t : texts)
            for (const auto& want : t.glyphs (text))
            {
                auto found = std::find_if (drawn.begin(), drawn.end(),
                                           [&want] (const GlyphRecorder::Glyph& g)
                                           {
                                               return g.number == want.number && g.fontHeight == want.fontHeight &&
                                                      std::abs (g.x - want.x) < 0.5f &&
                                                      std::abs (g.y - want.y) < 0.5f && g.colour == want.colour;
                                           });
                EXPECT_NE (found, drawn.end()) << "\"" << t.text << "\" in " << t.box.toString() << ": glyph at "
                                               << want.x << ", " << want.y << " not drawn as expected";
                if (found != drawn.end())
                    drawn.erase (found);
            }
        for (const auto& g : drawn)
            ADD_FAILURE() << "unexpected glyph " << g.number << " at " << g.x << ", " << g.y;

        // Outside the texts: the outline on the edges, a 2 x 1 tick just left
        // of every bar on each level row (on the bar's last row for -96 dB),
        // and the background everywhere else.
        std::set<std::pair<int, int>> ticks;
        for (int k = 0; k < kMeterTabN; ++k)
            for (int i = 0; i < c.n; ++i)
            {
                const int x = 30 + c.firstBarX + i * c.barPitch - 2;
                const int y = levelRows[k] - (k == 0 ? 1 : 0);
                ticks.insert ({x, y});
                ticks.insert ({x + 1, y});
            }

        std::vector<juce::Rectangle<int>> inkAreas;
        for (const auto& t : texts)
            inkAreas.push_back (t.inkArea());

        int wrongPixels = 0;
        for (int y = 0; y < 184; ++y)
            for (int x = 0; x < 224; ++x)
            {
                const bool edge = x == 0 || y == 0 || x == 223 || y == 183;
                const bool tick = ticks.count ({x, y}) > 0;
                const bool inText = std::any_of (inkAreas.begin(), inkAreas.end(),
                                                 [x, y] (const juce::Rectangle<int>& r) { return r.contains (x, y); });
                if (!edge && !tick && inText)
                    continue;

                const auto want = edge || tick ? outline : background;
                const auto pixel = image.getPixelAt (x, y);
                if (pixel != want && ++wrongPixels <= 5)
                    ADD_FAILURE() << "pixel " << x << ", " << y << " is " << pixel.toDisplayString (true) << ", not "
                                  << want.toDisplayString (true);
            }
        EXPECT_EQ (wrongPixels, 0);
    }
}
} // namespace
