#include "MainComponent.h"

#include "ErrorBox.h"
#include "MeasureMemory.h"
#include "MlsCorrelation.h"
#include "ResponsePostProcess.h"
#include "RunChannels.h"
#include "RunDropouts.h"
#include "RunLayout.h"
#include "SettingsNumbers.h"
#include "SweepDeconvolution.h"

void MainComponent::computeResponse()
{
    int32_t responseLen = isMls ? (int32_t)mlsLen : (int32_t)(sweepLen + gapLen);
    const int32_t numResponses = numPlayChan > 0 && numRecChan > 0 ? numPlayChan * numRecChan : 0;
    float** responses = measureAlloc<float*> ((uint64_t)numResponses);
    // A run with dropouts or moved channels still gives its files, but says
    // first that they may be damaged; the warnings head every other sentence.
    juce::String statusText =
        dropoutWarning (runDropouts) + channelsChangedWarning (runChannelsMoved.load (std::memory_order_relaxed));
    const int outFmtId = outFmtCombo->getSelectedId();

    RecordedRun run;
    run.recordBuffer = recordBuffer;
    run.recordFrames = recordBuffer != nullptr ? totalLen : 0;
    run.recChans = recChans;
    run.numPlayChan = numResponses > 0 ? numPlayChan : 0;
    run.numRecChan = numResponses > 0 ? numRecChan : 0;
    run.layout.sweepLen = sweepLen;
    run.layout.gapLen = gapLen;
    run.layout.initDelayLen = initDelayLen;
    run.layout.mlsLen = mlsLen;
    run.layout.segmentLen = segmentLen;
    run.layout.totalLen = totalLen;

    bool computed = responses != nullptr && (isMls ? mlsComputeResponses (mlsSeq, numAverages, run, responses)
                                                   : sweepComputeResponses (sweepParams, run, responses));

    if (computed)
    {
        // Read now, not at Start: a change during the run applies to it.
        PostProcessOptions options;
        options.normalize = getSettingsFlag (*settings, "normalize", false);
        options.autoCrop = getSettingsFlag (*settings, "autoCrop", false);
        options.cropThreshDb = (float)settings->getDoubleValue ("cropThresh", -96.0);
        options.sampleRate = sampleRate;

        std::string sentences;
        computed = postProcessResponses (responses, numResponses, responseLen, options, sentences);
        statusText += juce::String (sentences);
    }

    if (!computed)
    {
        freeResponseTable (responses, numResponses);

        showErrorBox ("The responses could not be computed: not enough memory");
        return;
    }

    writeResponseFiles (responses, responseLen, statusText, outFmtId);
}
