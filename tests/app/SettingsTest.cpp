#include "MainComponentHarness.h"

#include "support/ModalBoxRecorder.h"

namespace
{
const auto seeded = harness::seededWith();

using harness::seededWith;

struct RestoreCase
{
    const char* key;
    const char* storedText;
    const char* control;
    const char* shows;
    int selectedId;          // 0: nothing selected
    const char* writtenBack; // the value the key holds once start-up is over
};

// What a user sees after a start with the stored text, and what the file then holds.
const RestoreCase restoreCases[] = {
    {"numReps", "1", "repsCombo", "2", 1, "1"},
    {"ampDb", "-6.0", "ampCombo", "0 dB", 1, "-6.0"},
    {"ampDb", "-18", "ampCombo", "-18 dB", 4, "-18"},
    {"cropThresh", "-42", "cropThreshCombo", "-42 dB", 7, "-42"},
    {"mlsBits", "15", "mlsLenCombo", "32767", 15, "15"},
    {"mlsBits", "7", "mlsLenCombo", "255", 8, "7"},
    {"mlsBits", "21", "mlsLenCombo", "255", 8, "21"},
    {"mlsBits", "abc", "mlsLenCombo", "255", 8, "abc"},
    {"mlsBits", "99", "mlsLenCombo", "255", 8, "99"},
    {"mlsBits", "4294967311", "mlsLenCombo", "255", 8, "4294967311"},
    {"numPlayChan", "0", "numPlayChanCombo", "1", 1, "0"},
    {"numPlayChan", "17", "numPlayChanCombo", "1", 1, "17"},
    {"numPlayChan", "abc", "numPlayChanCombo", "1", 1, "abc"},
    {"numPlayChan", "4294967299", "numPlayChanCombo", "1", 1, "4294967299"},
    {"numRecChan", "99999999999", "numRecChanCombo", "1", 1, "99999999999"},
    {"numRecChan", "07", "numRecChanCombo", "7", 7, "07"},
    {"type", "mls", "typeCombo", "Sweep", 1, "mls"},
    {"type", "MLS", "typeCombo", "MLS", 2, "MLS"},
    {"gapDelay", "3", "gapDelayCombo", "3", 0, "3"},
    {"gapDelay", "2", "gapDelayCombo", "2", 3, "2"},
    {"gapDelay", "", "gapDelayCombo", "", 0, ""},
    {"sweepTime", "0.25", "sweepTimeCombo", "0.25", 0, "0.25"},
    {"initDelay", "3", "initDelayCombo", "3", 0, "3"},
    {"initDelay", "20", "initDelayCombo", "20", 7, "20"},
    {"outFileFmt", "5", "outFileCombo", "", 0, "5"},
    {"outFileFmt", "-1", "outFileCombo", "", 0, "-1"},
    {"outFileFmt", "4294967297", "outFileCombo", "", 0, "4294967297"},
    {"outFileFmt", "2", "outFileCombo", "Per response - one mono file per response", 3, "2"},
    {"fmt", "WAV 8-bit", "outFmtCombo", "txt (ASCII floats)", 1, "WAV 8-bit"},
    {"fmt", "WAV 32-bit float", "outFmtCombo", "WAV 32-bit float", 4, "WAV 32-bit float"},
    {"trueStereoFmt", "LL, LR, RR, RL", "tsFmtCombo", "LL, LR, RR, RL", 3, "LL, LR, RR, RL"},
    {"trueStereoFmt", "ll, lr, rr, rl", "tsFmtCombo", "LL, LR, RL, RR", 1, "ll, lr, rr, rl"},
};

class SettingsRestore : public harness::MainComponentTest
{
};
} // namespace

TEST_F (SettingsRestore, EachStoredTextShowsItsChoiceAndIsKeptOrWrittenBackUnchanged)
{
    for (const auto& c : restoreCases)
    {
        SCOPED_TRACE (juce::String (c.key) + " = \"" + c.storedText + "\"");
        build (seededWith (c.key, c.storedText), false);

        // Overwrite the key before the start-up notifications arrive: a restore
        // that writes back puts the shown text there again, one that doesn't leaves this.
        settings->setValue (c.key, "untouched");
        ASSERT_TRUE (deliverPostedMessages());

        auto& combo = this->combo (c.control);
        EXPECT_EQ (combo.getText(), juce::String (c.shows));
        EXPECT_EQ (combo.getSelectedId(), c.selectedId);

        const bool writesBack = juce::String (c.key) == "gapDelay" || juce::String (c.key) == "sweepTime" ||
                                juce::String (c.key) == "initDelay" || juce::String (c.key) == "outFileFmt";
        const bool shownSomething = juce::String (c.key) == "outFileFmt" ? c.selectedId != 0 : c.shows[0] != 0;
        EXPECT_EQ (stored (c.key), writesBack && shownSomething ? juce::String (c.writtenBack) : "untouched");
    }
}

TEST_F (SettingsRestore, StoredTextsThatMatchNoItemStayInTheFile)
{
    for (const auto& c : restoreCases)
    {
        SCOPED_TRACE (juce::String (c.key) + " = \"" + c.storedText + "\"");
        build (seededWith (c.key, c.storedText));
        EXPECT_EQ (stored (c.key), juce::String (c.writtenBack));
    }
}

namespace
{
const std::pair<const char*, const char*> timingKeys[] = {
    {"gapDelay", "gapDelayCombo"}, {"sweepTime", "sweepTimeCombo"}, {"initDelay", "initDelayCombo"}};

const juce::String digitsAtTheBound = juce::String::repeatedString ("5", MainComponent::kMaxTimingTextLength);
} // namespace

// A stored timing text longer than any timing value is unusable: the combo
// shows the fallback, the empty text, and the file keeps what the user wrote.
TEST_F (SettingsRestore, TimingTextsBeyondTheBoundTakeTheFallbackAndStayInTheFile)
{
    struct Case
    {
        const char* what;
        juce::String text;
        bool restored;
    };
    const Case cases[] = {
        {"at the bound", digitsAtTheBound, true},
        {"at the bound in characters, one more in bytes",
         digitsAtTheBound.dropLastCharacters (1) + juce::String (juce::CharPointer_UTF8 ("\xc2\xb5")), true},
        {"one character beyond the bound", digitsAtTheBound + "5", false},
    };

    for (const auto& [key, control] : timingKeys)
        for (const auto& c : cases)
        {
            SCOPED_TRACE (juce::String (key) + ", " + c.what);
            build (seededWith (key, c.text), false);
            EXPECT_EQ (stored (key), c.text);

            auto& combo = this->combo (control);
            EXPECT_EQ (combo.getText(), c.restored ? c.text : juce::String());
            EXPECT_EQ (combo.getSelectedId(), 0);

            // A restored text is written back once start-up is over, over this mark;
            // a text that was not restored leaves the mark where it is.
            settings->setValue (key, "untouched");
            ASSERT_TRUE (deliverPostedMessages());
            EXPECT_EQ (stored (key), c.restored ? c.text : juce::String ("untouched"));
        }
}

namespace
{
struct TextFieldKey
{
    const char* key;
    const char* field;
    int maxBytes;
    const char* fallback;
};

const TextFieldKey textFieldKeys[] = {{"dir", "dirText", MainComponent::kMaxDirTextBytes, ""},
                                      {"file", "fileText", MainComponent::kMaxFileTextBytes, "impulse"}};

// A letter of three bytes in UTF-8: both bounds can be filled with it.
const juce::String euro = juce::String (juce::CharPointer_UTF8 ("\xe2\x82\xac"));
static_assert (MainComponent::kMaxDirTextBytes % 3 == 0 && MainComponent::kMaxFileTextBytes % 3 == 0);

juce::String letters (const juce::String& letter, int count)
{
    return juce::String::repeatedString (letter, count);
}
} // namespace

// A stored folder or file text longer in UTF-8 bytes than the file system
// takes is unusable: the field shows the key's fallback, and the file keeps
// what the user wrote.
TEST_F (SettingsRestore, FolderAndFileTextsBeyondTheirBoundTakeTheFallbackAndStayInTheFile)
{
    for (const auto& f : textFieldKeys)
    {
        const struct
        {
            const char* what;
            juce::String text;
            bool restored;
        } cases[] = {
            {"at the bound", letters ("a", f.maxBytes), true},
            {"at the bound in three-byte letters", letters (euro, f.maxBytes / 3), true},
            {"one byte beyond the bound", letters ("a", f.maxBytes + 1), false},
            {"a third of the bound in letters, one byte beyond it", letters (euro, f.maxBytes / 3) + "a", false},
        };

        for (const auto& c : cases)
        {
            SCOPED_TRACE (juce::String (f.key) + ", " + c.what);
            build (seededWith (f.key, c.text));
            EXPECT_TRUE (harness::findChildAs<juce::TextEditor> (*component, f.field)->getText() ==
                         (c.restored ? c.text : juce::String (f.fallback)));
            EXPECT_TRUE (stored (f.key) == c.text);
        }
    }
}

TEST_F (SettingsRestore, MissingKeysTakeTheirFallbacks)
{
    build ({});
    EXPECT_EQ (combo ("numPlayChanCombo").getText(), "1");
    EXPECT_EQ (combo ("typeCombo").getText(), "Sweep");
    EXPECT_EQ (combo ("repsCombo").getText(), "2");
    EXPECT_EQ (combo ("tsFmtCombo").getText(), "LL, LR, RL, RR");
    EXPECT_EQ (combo ("outFmtCombo").getText(), "txt (ASCII floats)");
    EXPECT_EQ (combo ("ampCombo").getText(), "0 dB");
    EXPECT_EQ (combo ("gapDelayCombo").getText(), "");
    EXPECT_EQ (combo ("outFileCombo").getSelectedItemIndex(), 0);
    EXPECT_EQ (stored ("outFileFmt"), "0");
    EXPECT_EQ (stored ("gapDelay"), "<absent>");
    EXPECT_EQ (harness::findChildAs<juce::TextEditor> (*component, "fileText")->getText(), "impulse");
    EXPECT_EQ (harness::findChildAs<juce::TextEditor> (*component, "dirText")->getText(), "");
    EXPECT_FALSE (harness::findChildAs<juce::Button> (*component, "normButton")->getToggleState());
    // The restored texts are not written back.
    EXPECT_EQ (stored ("file"), "<absent>");
    EXPECT_EQ (stored ("dir"), "<absent>");
}

TEST_F (SettingsRestore, TogglesAndTextFieldsShowTheirStoredValues)
{
    auto stored = seeded;
    stored["normalize"] = "0";
    stored["autoCrop"] = "1";
    stored["file"] = "room";
    stored["dir"] = "/tmp/ir";
    build (stored);
    EXPECT_FALSE (harness::findChildAs<juce::Button> (*component, "normButton")->getToggleState());
    EXPECT_TRUE (harness::findChildAs<juce::Button> (*component, "autoCropButton")->getToggleState());
    EXPECT_EQ (harness::findChildAs<juce::TextEditor> (*component, "fileText")->getText(), "room");
    EXPECT_EQ (harness::findChildAs<juce::TextEditor> (*component, "dirText")->getText(), "/tmp/ir");

    // A number beyond 32 bits is still a number other than 0.
    stored["normalize"] = "4294967296";
    build (stored);
    EXPECT_TRUE (harness::findChildAs<juce::Button> (*component, "normButton")->getToggleState());
}

namespace
{
struct ChannelCase
{
    const char* numPlayChan;
    const char* numRecChan;
    int outBars;
    const char* outLabels;
    int inBars;
    const char* inLabels;
    bool trueStereoRow;
};

const ChannelCase channelCases[] = {
    {"0", "1", 1, "", 1, "L", false},
    {"abc", "1", 1, "", 1, "L", false},
    {"17", "1", 16, "0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15", 1, "L", false},
    // Counts beyond any meter, also beyond 32 bits: the meters' 16 bars, labelled, and no more.
    {"2147483647", "99999999999", 16, "0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15", 16,
     "0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15", false},
    {"4294967298", "4294967298", 16, "0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15", 16,
     "0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15", false},
    {"-4294967295", "1", 1, "", 1, "L", false},
    {"2", "2", 2, "L R", 2, "L R", true},
    {"2", "1", 2, "L R", 1, "L", false},
    {"3", "2", 3, "0 1 2", 2, "L R", false},
    {"02", "2", 2, "L R", 2, "L R", true},
};
} // namespace

TEST_F (SettingsRestore, ChannelCountsSetTheMetersAndTheTrueStereoRow)
{
    for (const auto& c : channelCases)
    {
        SCOPED_TRACE (juce::String ("play ") + c.numPlayChan + ", rec " + c.numRecChan);
        auto stored = seeded;
        stored["numPlayChan"] = c.numPlayChan;
        stored["numRecChan"] = c.numRecChan;
        build (stored);

        auto& out = *harness::findChildAs<MultiMeterComponent> (*component, "outMeterComp");
        auto& in = *harness::findChildAs<MultiMeterComponent> (*component, "inMeterComp");
        EXPECT_EQ (out.getNumChan(), c.outBars);
        EXPECT_EQ (out.chanLabels.joinIntoString (" "), juce::String (c.outLabels));
        EXPECT_EQ (in.getNumChan(), c.inBars);
        EXPECT_EQ (in.chanLabels.joinIntoString (" "), juce::String (c.inLabels));
        EXPECT_EQ (child ("tsFmtCombo").isVisible(), c.trueStereoRow);
        EXPECT_EQ (child ("tsFmtLabel").isVisible(), c.trueStereoRow);
    }
}

TEST_F (SettingsRestore, MeasurementTypeShowsEitherTheSweepOrTheMlsRows)
{
    for (const juce::String type : {"Sweep", "MLS", "mls", ""})
    {
        SCOPED_TRACE ("type \"" + type + "\"");
        build (seededWith ("type", type));
        const bool mls = type == "MLS";
        EXPECT_EQ (child ("mlsLenCombo").isVisible(), mls);
        EXPECT_EQ (child ("mlsLenLabel").isVisible(), mls);
        EXPECT_EQ (child ("repsCombo").isVisible(), mls);
        EXPECT_EQ (child ("repsLabel").isVisible(), mls);
        EXPECT_EQ (child ("sweepTimeCombo").isVisible(), !mls);
        EXPECT_EQ (child ("sweepTimeLabel").isVisible(), !mls);
    }
}

namespace
{
struct ChoiceCase
{
    const char* control;
    int itemId;
    const char* key;
    const char* storedForm;
};

// Choosing an item as a user does stores this text under this key.
const ChoiceCase choiceCases[] = {
    {"ampCombo", 2, "ampDb", "-6"},
    {"ampCombo", 1, "ampDb", "0"},
    {"cropThreshCombo", 16, "cropThresh", "-96"},
    {"mlsLenCombo", 20, "mlsBits", "20"},
    {"repsCombo", 3, "numReps", "4"},
    {"typeCombo", 2, "type", "MLS"},
    {"outFmtCombo", 4, "fmt", "WAV 32-bit float"},
    {"tsFmtCombo", 2, "trueStereoFmt", "LL, RR, LR, RL"},
    {"outFileCombo", 3, "outFileFmt", "2"},
    {"outFileCombo", 1, "outFileFmt", "0"},
    {"numPlayChanCombo", 16, "numPlayChan", "16"},
    {"numRecChanCombo", 5, "numRecChan", "5"},
    {"gapDelayCombo", 1, "gapDelay", "0.5"},
    {"sweepTimeCombo", 4, "sweepTime", "10"},
    {"initDelayCombo", 7, "initDelay", "20"},
    {"initDelayCombo", 1, "initDelay", "0"},
};

class SettingsHandlers : public harness::MainComponentTest
{
};

juce::FileBrowserComponent* findBrowser (juce::Component& parent)
{
    for (auto* c : parent.getChildren())
    {
        if (auto* browser = dynamic_cast<juce::FileBrowserComponent*> (c))
            return browser;
        if (auto* browser = findBrowser (*c))
            return browser;
    }
    return nullptr;
}
} // namespace

TEST_F (SettingsHandlers, ChoosingAnItemStoresItsStoredForm)
{
    auto start = seeded;
    start["outFileFmt"] = "1";
    build (start);

    for (const auto& c : choiceCases)
    {
        SCOPED_TRACE (juce::String (c.control) + " id " + juce::String (c.itemId));
        auto& combo = this->combo (c.control);
        // Select something else first so that the choice is always a change.
        combo.setSelectedId (c.itemId == 1 ? 2 : 1, juce::dontSendNotification);
        combo.setSelectedId (c.itemId, juce::sendNotificationAsync);
        ASSERT_TRUE (deliverPostedMessages());
        EXPECT_EQ (stored (c.key), juce::String (c.storedForm));
    }
}

TEST_F (SettingsHandlers, TypedTimingValuesAreStoredAsTyped)
{
    build (seeded);
    for (const char* name : {"gapDelayCombo", "sweepTimeCombo"})
    {
        auto& combo = this->combo (name);
        combo.setText ("0.25", juce::sendNotificationAsync);
        ASSERT_TRUE (deliverPostedMessages());
        EXPECT_EQ (stored (juce::String (name).upToFirstOccurrenceOf ("Combo", false, false)), "0.25") << name;
    }
}

TEST_F (SettingsHandlers, ChannelChoicesUpdateMetersAndTrueStereoRow)
{
    build (seeded);
    auto& play = combo ("numPlayChanCombo");
    auto& rec = combo ("numRecChanCombo");
    auto& out = *harness::findChildAs<MultiMeterComponent> (*component, "outMeterComp");

    play.setSelectedId (3, juce::sendNotificationAsync);
    ASSERT_TRUE (deliverPostedMessages());
    EXPECT_EQ (stored ("numPlayChan"), "3");
    EXPECT_EQ (out.getNumChan(), 3);
    EXPECT_EQ (out.chanLabels.joinIntoString (" "), "0 1 2");
    EXPECT_FALSE (child ("tsFmtCombo").isVisible());

    play.setSelectedId (2, juce::sendNotificationAsync);
    rec.setSelectedId (2, juce::sendNotificationAsync);
    ASSERT_TRUE (deliverPostedMessages());
    EXPECT_TRUE (child ("tsFmtCombo").isVisible());
    EXPECT_TRUE (child ("tsFmtLabel").isVisible());

    play.setSelectedId (1, juce::sendNotificationAsync);
    ASSERT_TRUE (deliverPostedMessages());
    EXPECT_EQ (out.getNumChan(), 1);
    EXPECT_EQ (out.chanLabels.joinIntoString (" "), "L");
    EXPECT_FALSE (child ("tsFmtCombo").isVisible());
}

TEST_F (SettingsHandlers, ChoosingTheTypeSwapsTheRows)
{
    build (seeded);
    combo ("typeCombo").setSelectedId (2, juce::sendNotificationAsync);
    ASSERT_TRUE (deliverPostedMessages());
    EXPECT_TRUE (child ("mlsLenCombo").isVisible());
    EXPECT_TRUE (child ("repsCombo").isVisible());
    EXPECT_FALSE (child ("sweepTimeCombo").isVisible());

    combo ("typeCombo").setSelectedId (1, juce::sendNotificationAsync);
    ASSERT_TRUE (deliverPostedMessages());
    EXPECT_EQ (stored ("type"), "Sweep");
    EXPECT_FALSE (child ("mlsLenCombo").isVisible());
    EXPECT_TRUE (child ("sweepTimeCombo").isVisible());
}

TEST_F (SettingsHandlers, TogglesStoreTheirStateAfterTheClick)
{
    build (seeded);
    auto& norm = *harness::findChildAs<juce::Button> (*component, "normButton");
    auto& crop = *harness::findChildAs<juce::Button> (*component, "autoCropButton");

    norm.triggerClick();
    crop.triggerClick();
    ASSERT_TRUE (deliverPostedMessages());
    EXPECT_EQ (stored ("normalize"), "0");
    EXPECT_EQ (stored ("autoCrop"), "1");
    EXPECT_FALSE (norm.getToggleState());
    EXPECT_TRUE (crop.getToggleState());
    // Auto-crop enables or disables nothing else.
    EXPECT_TRUE (combo ("cropThreshCombo").isEnabled());

    crop.triggerClick();
    ASSERT_TRUE (deliverPostedMessages());
    EXPECT_EQ (stored ("autoCrop"), "0");
}

TEST_F (SettingsHandlers, EveryKeystrokeInTheTextFieldsIsStored)
{
    build (seeded);
    for (const auto& [name, key] : {std::pair{"fileText", "file"}, std::pair{"dirText", "dir"}})
    {
        auto& editor = *harness::findChildAs<juce::TextEditor> (*component, name);
        editor.setText ({}, false);

        juce::String typed;
        for (const char* keystroke : {"/", "t", "m", "p"})
        {
            editor.moveCaretToEnd();
            editor.insertTextAtCaret (keystroke);
            typed += keystroke;
            ASSERT_TRUE (deliverPostedMessages());
            EXPECT_EQ (stored (key), typed) << name;
        }
    }
}

TEST_F (SettingsHandlers, CancellingTheFolderDialogChangesNothing)
{
    auto start = seeded;
    start["dir"] = "/somewhere";
    build (start);

    ModalBoxRecorder recorder;
    harness::findChildAs<juce::Button> (*component, "browseButton")->triggerClick();
    ASSERT_TRUE (deliverPostedMessages());

    ASSERT_FALSE (recorder.boxes().empty());
    EXPECT_EQ (recorder.boxes()[0].title, "Please select the directory...");
    EXPECT_EQ (harness::findChildAs<juce::TextEditor> (*component, "dirText")->getText(), "/somewhere");
    EXPECT_EQ (stored ("dir"), "/somewhere");
}

TEST_F (SettingsHandlers, ChoosingAFolderStoresItsFullPath)
{
    build (seeded);
    auto target = juce::File (home->path()).getChildFile ("measurements");
    ASSERT_TRUE (target.createDirectory());

    // Navigate the dialog to the folder and confirm it, as a user would.
    ModalBoxRecorder recorder (
        [&target] (juce::Component& modal)
        {
            auto* browser = findBrowser (modal);
            if (browser == nullptr)
                return true;
            browser->setRoot (target);
            modal.exitModalState (1);
            return false;
        });

    harness::findChildAs<juce::Button> (*component, "browseButton")->triggerClick();
    // The chosen path reaches the store by the text field's own async change, after the dialog.
    EXPECT_TRUE (runMessageLoopUntil ([&] { return stored ("dir") == target.getFullPathName(); }, 30000));

    EXPECT_EQ (harness::findChildAs<juce::TextEditor> (*component, "dirText")->getText(), target.getFullPathName());
    EXPECT_EQ (stored ("dir"), target.getFullPathName());
}

TEST_F (SettingsHandlers, AComboLeftWithoutAChoiceWritesNothing)
{
    build (seeded);
    // Tables indexed by the choice have no entry for "nothing selected".
    for (const auto& [name, key] :
         {std::pair{"ampCombo", "ampDb"}, std::pair{"cropThreshCombo", "cropThresh"}, std::pair{"typeCombo", "type"}})
    {
        const auto before = stored (key);
        combo (name).setSelectedId (0, juce::sendNotificationAsync);
        ASSERT_TRUE (deliverPostedMessages());
        EXPECT_EQ (stored (key), before) << name;
    }
}

namespace
{
// The editor that the combo's text label has open, if any.
juce::TextEditor* openEditor (juce::ComboBox& combo)
{
    for (auto* child : combo.getChildren())
        if (auto* label = dynamic_cast<juce::Label*> (child))
            return label->getCurrentTextEditor();
    return nullptr;
}
} // namespace

// The combos' text labels are made anew when the panel goes into a window and
// when the look-and-feel changes; the bound holds on each of them. The texts
// are free: letters, signs and spaces are taken like digits, up to the bound.
TEST_F (SettingsHandlers, TypingOrPastingIntoTheTimingCombosStopsAtTheBound)
{
    build (seeded);
    juce::LookAndFeel_V4 otherLook;
    juce::DocumentWindow window ("Tolvane", juce::Colours::lightgrey, juce::DocumentWindow::allButtons);

    const auto typing = juce::String::repeatedString ("Gap 1.5 s, +x -y (z)! ", 4);
    const auto clipboard = juce::String::repeatedString ("about -2e3 ms; Sweep/MLS? ", 1 << 16);
    const auto typed = typing.substring (0, MainComponent::kMaxTimingTextLength);
    const auto pasted = clipboard.substring (0, MainComponent::kMaxTimingTextLength);
    ASSERT_GT (typing.length(), MainComponent::kMaxTimingTextLength + 10);

    for (const bool intoTheWindow : {true, false})
    {
        const char* when = intoTheWindow ? "in a window" : "after a change of look-and-feel";
        if (intoTheWindow)
        {
            window.setContentNonOwned (component.get(), true);
            window.setVisible (true);
        }
        else
        {
            component->setLookAndFeel (&otherLook);
        }

        for (const auto& [key, control] :
             {std::pair{"gapDelay", "gapDelayCombo"}, std::pair{"sweepTime", "sweepTimeCombo"}})
        {
            SCOPED_TRACE (juce::String (control) + ", " + when);
            auto& combo = this->combo (control);

            combo.showEditor();
            auto* editor = openEditor (combo);
            ASSERT_NE (editor, nullptr);
            ASSERT_TRUE (runMessageLoopUntil ([editor] { return editor->hasKeyboardFocus (false); }, 60000));

            editor->setText ({}, false);
            for (const auto letter : typing)
                editor->keyPressed (juce::KeyPress ((int)letter, 0, letter));
            EXPECT_EQ (editor->getText(), typed);

            // Over all of it: a megabyte and more of text on the clipboard.
            editor->selectAll();
            juce::SystemClipboard::copyTextToClipboard (clipboard);
            editor->paste();
            ASSERT_EQ (openEditor (combo), editor) << "the editor closed";
            EXPECT_EQ (editor->getTotalNumChars(), MainComponent::kMaxTimingTextLength);
            EXPECT_TRUE (editor->getText() == pasted);

            editor->keyPressed (juce::KeyPress (juce::KeyPress::returnKey));
            ASSERT_TRUE (deliverPostedMessages());
            EXPECT_EQ (combo.getText(), pasted);
            EXPECT_EQ (stored (key), pasted);
        }
    }

    component->setLookAndFeel (nullptr);
}

// The folder and file fields take typed and pasted text up to their bound in
// UTF-8 bytes, in whole characters, and store what they show. The panel is in
// a window and has had its look-and-feel changed, as in the program.
TEST_F (SettingsHandlers, TypingOrPastingIntoTheFolderAndFileFieldsStopsAtTheirBound)
{
    build (seeded);
    juce::LookAndFeel_V4 otherLook;
    juce::DocumentWindow window ("Tolvane", juce::Colours::lightgrey, juce::DocumentWindow::allButtons);
    window.setContentNonOwned (component.get(), true);
    window.setVisible (true);
    component->setLookAndFeel (&otherLook);

    const auto micro = juce::String (juce::CharPointer_UTF8 ("\xc2\xb5")); // two bytes
    const auto type = [] (juce::TextEditor& editor, const juce::String& letter, int times)
    {
        for (int i = 0; i < times; ++i)
            editor.keyPressed (juce::KeyPress (letter[0], 0, letter[0]));
    };
    const auto paste = [] (juce::TextEditor& editor, const juce::String& text)
    {
        juce::SystemClipboard::copyTextToClipboard (text);
        editor.paste();
    };

    for (const auto& f : textFieldKeys)
    {
        SCOPED_TRACE (f.key);
        auto& editor = *harness::findChildAs<juce::TextEditor> (*component, f.field);
        const auto check = [&] (const char* what, const juce::String& expected)
        {
            EXPECT_TRUE (editor.getText() == expected) << what << ": shows " << editor.getText().getNumBytesAsUTF8()
                                                       << " bytes, " << editor.getText().length() << " characters";
            ASSERT_TRUE (deliverPostedMessages());
            EXPECT_TRUE (stored (f.key) == expected) << what << ": stored";
        };

        editor.setText ({}, false);
        type (editor, "a", f.maxBytes + 10);
        check ("typed past the bound", letters ("a", f.maxBytes));

        // Two bytes free: a letter of three is refused, one of two still fits.
        editor.setText (letters ("a", f.maxBytes - 2), false);
        editor.moveCaretToEnd();
        type (editor, euro, 1);
        type (editor, micro, 1);
        check ("typed letters of several bytes", letters ("a", f.maxBytes - 2) + micro);

        // A megabyte of two-byte letters over the whole text: the paste stops
        // after the last whole letter that fits, one byte short of the odd bounds.
        editor.selectAll();
        paste (editor, letters (micro, 1 << 19));
        check ("pasted over the whole text", letters (micro, f.maxBytes / 2));

        // Over a selection of ten one-byte letters: their ten bytes are free again.
        editor.setText (letters ("a", f.maxBytes), false);
        editor.setHighlightedRegion ({0, 10});
        paste (editor, letters (euro, 1 << 18));
        check ("pasted over a selection", letters (euro, 3) + letters ("a", f.maxBytes - 10));
    }

    component->setLookAndFeel (nullptr);
}
