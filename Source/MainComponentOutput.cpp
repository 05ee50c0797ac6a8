#include "MainComponent.h"

#include "OutputFiles.h"
#include "SettingsNumbers.h"

// The output stage: gathers what the window, the settings and the run say
// about the files, then writes them. Owns and frees responses on every path.
void MainComponent::writeResponseFiles (float** responses, int responseLen, juce::String& statusText, int outFmtId)
{
    OutputStageRequest request;
    request.dirText = dirText != nullptr ? dirText->getText() : juce::String();
    request.baseName = fileText != nullptr ? fileText->getText() : juce::String();
    request.formatIndex = outFmtId - 1;
    request.organisation = settings != nullptr ? getSettingsInt (*settings, "outFileFmt", 0) : 0;
    request.tsFmtIndex = tsFmtCombo != nullptr ? tsFmtCombo->getSelectedItemIndex() : -1;
    request.numPlayChan = numPlayChan;
    request.numRecChan = numRecChan;
    request.sampleRate = sampleRate;

    runOutputStage (request, responses, responseLen, statusText);
}
