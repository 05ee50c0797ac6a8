#include "BoundedTextComboBox.h"

BoundedTextComboBox::BoundedTextComboBox (const juce::String& componentName, int maxLength)
    : juce::ComboBox (componentName), maxTextLength (maxLength)
{
    // The base constructor made the first label before this class could hook it.
    boundLabelEditors();
}

void BoundedTextComboBox::lookAndFeelChanged()
{
    juce::ComboBox::lookAndFeelChanged();
    boundLabelEditors();
}

void BoundedTextComboBox::boundLabelEditors()
{
    // The label is the combo's only child; each edit gets an editor of its own.
    for (auto* child : getChildren())
        if (auto* label = dynamic_cast<juce::Label*> (child))
            label->onEditorShow = [label, limit = maxTextLength]
            {
                if (auto* editor = label->getCurrentTextEditor())
                    editor->setInputRestrictions (limit);
            };
}
