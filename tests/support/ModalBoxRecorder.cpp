#include "support/ModalBoxRecorder.h"

ModalBoxRecorder::ModalBoxRecorder (Handler handler, int pollMs) : onModal (std::move (handler))
{
    startTimer (pollMs);
}

ModalBoxRecorder::~ModalBoxRecorder()
{
    stopTimer();
}

juce::StringArray ModalBoxRecorder::titles() const
{
    juce::StringArray result;
    for (const auto& b : recorded)
        result.add (b.title);
    return result;
}

void ModalBoxRecorder::timerCallback()
{
    auto* modal = juce::Component::getCurrentlyModalComponent();
    if (modal == nullptr)
        return;

    if (modal != lastSeen.getComponent())
    {
        lastSeen = modal;
        Box box;
        box.title = modal->getName();
        if (auto* alert = dynamic_cast<juce::AlertWindow*> (modal))
        {
            box.isAlert = true;
            box.icon = alert->getAlertType();
            box.numButtons = alert->getNumButtons();
            // An AlertWindow describes itself as "<title>. <message>".
            box.message = alert->getDescription().fromFirstOccurrenceOf (box.title + ". ", false, false);
        }
        recorded.push_back (box);
    }

    if (onModal && !onModal (*modal))
        return;

    modal->exitModalState (0);
}
