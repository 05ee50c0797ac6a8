#include "OutputFiles.h"

#include "ChannelNames.h"
#include "ErrorBox.h"
#include "MeasureMemory.h"
#include "MeasurementTables.h"
#include "ReplacementFile.h"
#include "audiofile/AFileIO.h"
#include "audiofile/WAVChunk.h"
#include "log/QvLog.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include <sys/stat.h>

namespace
{
// The writer handles sizes and offsets as 32-bit values, and the interleave
// buffer's index as a 32-bit signed product.
constexpr int64_t kWavFileLimit = int64_t (1) << 31;
constexpr int64_t kInterleaveLimit = int64_t (1) << 31;
constexpr int64_t kWavHeaderBytes = 44;

constexpr int kBitsForFormat[kNumFmts] = {0, 16, 24, 32};

bool isExistingDirectory (const juce::File& dir)
{
    struct stat info;
    return stat (dir.getFullPathName().toRawUTF8(), &info) == 0 && S_ISDIR (info.st_mode);
}

juce::String joinedNames (const juce::StringArray& names)
{
    return names.joinIntoString (", ");
}
} // namespace

int effectiveOrganisation (int outFileFmt)
{
    if (outFileFmt == kOutputPerOutput || outFileFmt == kOutputPerResponse)
        return outFileFmt;
    return kOutputSingleFile;
}

juce::File resolveOutputDirectory (const juce::String& dirText)
{
    const juce::File dir (dirText);
    if (dir.getFullPathName().isEmpty() || !isExistingDirectory (dir))
        return juce::File::getCurrentWorkingDirectory();
    return dir;
}

std::vector<OutputFilePlan> planOutputFiles (const juce::String& baseName, const juce::String& extension,
                                             int organisation, int numPlayChan, int numRecChan, int tsFmtIndex)
{
    std::vector<OutputFilePlan> plans;
    const int numResponses = numPlayChan * numRecChan;
    const juce::String dotExt = "." + extension;

    if (organisation == kOutputSingleFile)
    {
        OutputFilePlan plan{baseName + dotExt, {}};
        for (int i = 0; i < numResponses; ++i)
            plan.responses.push_back (i);

        // True stereo: responses are LL, LR, RL, RR in entry order.
        if (numPlayChan == 2 && numRecChan == 2)
        {
            if (tsFmtIndex == 1)
                plan.responses = {0, 3, 1, 2};
            else if (tsFmtIndex == 2)
                plan.responses = {0, 1, 3, 2};
        }
        plans.push_back (plan);
        return plans;
    }

    const auto outLabels = getChannelNames (numPlayChan);
    const auto inLabels = getChannelNames (numRecChan);

    if (organisation == kOutputPerOutput)
    {
        for (int p = 0; p < numPlayChan; ++p)
        {
            OutputFilePlan plan{baseName + "_" + outLabels[p] + dotExt, {}};
            for (int r = 0; r < numRecChan; ++r)
                plan.responses.push_back (p * numRecChan + r);
            plans.push_back (plan);
        }
        return plans;
    }

    // Numeric labels on both sides would run together ("011"), so they get a
    // separator.
    const juce::String separator = (numPlayChan >= 3 && numRecChan >= 3) ? "_" : "";
    for (int p = 0; p < numPlayChan; ++p)
        for (int r = 0; r < numRecChan; ++r)
            plans.push_back ({baseName + "_" + outLabels[p] + separator + inLabels[r] + dotExt, {p * numRecChan + r}});
    return plans;
}

juce::String outputFilesSentence (int organisation, int numPlayChan, int numRecChan, const juce::StringArray& names)
{
    if (organisation == kOutputPerOutput)
        return "Wrote " + juce::String (numPlayChan) + " " + juce::String (numRecChan) +
               "-channel impulse response files: " + joinedNames (names);
    if (organisation == kOutputPerResponse)
        return "Wrote " + juce::String (numPlayChan * numRecChan) +
               " mono impulse response files: " + joinedNames (names);
    return "Wrote a single " + juce::String (numPlayChan * numRecChan) +
           "-channel impulse response file: " + joinedNames (names);
}

juce::String wavSizeLimitError (int64_t frames, int64_t channels, int bitsPerSample)
{
    if (channels < 1)
        return "no channels to write";

    const int64_t samples = frames * channels;
    if (samples >= kInterleaveLimit)
        return "too many samples, frames x channels must stay below 2^31 "
               "(2147483648)";

    const int64_t dataBytes = samples * ((bitsPerSample + 7) / 8);
    const int64_t fileBytes = kWavHeaderBytes + dataBytes + (dataBytes & 1);
    if (fileBytes >= kWavFileLimit)
        return "file too large, a WAV file must stay below 2 GiB (2147483648 "
               "bytes)";

    return {};
}

juce::String writeResponseTxt (const juce::File& file, const float* const* channels, int frames, int numChannels)
{
    ReplacementFile replacement (file);
    FILE* fp = replacement.isReady() ? fopen (replacement.getWritePath(), "w") : nullptr;
    if (fp == nullptr)
        return "Error creating file " + file.getFullPathName();

    // A short write (a full disk) shows up in a print, in the stream's error
    // flag or at the final flush in fclose; each is a failed file.
    bool ok = true;
    for (int i = 0; i < frames && ok; ++i)
        for (int c = 0; c < numChannels && ok; ++c)
            ok = fprintf (fp, "%g%c", (double)channels[c][i], c + 1 < numChannels ? '\t' : '\n') > 0;

    ok = ok && ferror (fp) == 0;
    ok = (fclose (fp) == 0) && ok;
    ok = ok && replacement.commit();

    if (!ok)
        return "Error writing file " + file.getFileName();
    return {};
}

juce::String writeResponseWav (const juce::File& file, const float* const* channels, int frames, int numChannels,
                               int sampleRate, int bitsPerSample)
{
    const auto tooLarge = wavSizeLimitError (frames, numChannels, bitsPerSample);
    if (tooLarge.isNotEmpty())
        return "Error creating file " + file.getFullPathName() + " : " + tooLarge;

    // Refusals come before the file: nothing is created for a write that
    // cannot go ahead.
    const int64_t numSamples = (int64_t)frames * numChannels;
    std::unique_ptr<float, decltype (&free)> interleaved (
        measureAlloc<float> ((uint64_t)(numSamples > 0 ? numSamples : 0)), &free);
    if (interleaved == nullptr)
        return "Error writing file " + file.getFileName() + " : Out of memory";

    for (int64_t j = 0; j < frames; ++j)
        for (int c = 0; c < numChannels; ++c)
            interleaved.get()[j * numChannels + c] = channels[c][j];

    ReplacementFile replacement (file);
    if (!replacement.isReady())
        return "Error creating file " + file.getFullPathName() + " : " + WAVErrorText[WAVErrCantOpen - 33];

    auto writer = std::make_unique<WaveNativeFileOut>();
    if (bitsPerSample == 32)
        writer->SetFormat (static_cast<AFileIOFormat> (1));

    if (!writer->Open (replacement.getWritePath(), (int64_t)sampleRate, bitsPerSample, numChannels))
        return "Error creating file " + file.getFullPathName() + " : " + writer->GetErrorText();

    // A file whose sizes cannot be patched at close is as broken as a short
    // write.
    const bool ok =
        writer->WriteFloatFrames (interleaved.get(), frames) == frames && writer->Close() && replacement.commit();

    if (!ok)
        return "Error writing file " + file.getFileName();
    return {};
}

bool saveResponseTxt (juce::File& file, float** channels, int frames, int numChannels)
{
    const auto error = writeResponseTxt (file, channels, frames, numChannels);
    if (error.isNotEmpty())
        showErrorBox (error);
    return error.isEmpty();
}

bool saveResponseWav (juce::File& file, float** channels, int frames, int numChannels, int sampleRate,
                      int bitsPerSample)
{
    const auto error = writeResponseWav (file, channels, frames, numChannels, sampleRate, bitsPerSample);
    if (error.isNotEmpty())
        showErrorBox (error);
    return error.isEmpty();
}

bool runOutputStage (const OutputStageRequest& request, float** responses, int responseLen, juce::String& statusText)
{
    const int numResponses = request.numPlayChan * request.numRecChan;
    const int organisation = effectiveOrganisation (request.organisation);
    const int formatIndex = (request.formatIndex >= 0 && request.formatIndex < kNumFmts) ? request.formatIndex : 0;

    const auto plans = planOutputFiles (request.baseName, gExts[formatIndex], organisation, request.numPlayChan,
                                        request.numRecChan, request.tsFmtIndex);

    // Decided once, so that the files of one run never end up in two places.
    const juce::File directory = resolveOutputDirectory (request.dirText);

    juce::StringArray names;
    bool ok = true;
    for (const auto& plan : plans)
    {
        if (!ok)
            break;

        auto file = directory.getChildFile (plan.name);
        names.add (file.getFileName());

        const int numChannels = (int)plan.responses.size();
        auto** channelList =
            static_cast<float**> (calloc ((size_t)(numChannels > 0 ? numChannels : 1), sizeof (float*)));
        ok = channelList != nullptr;
        for (int c = 0; ok && c < numChannels; ++c)
        {
            channelList[c] = responses != nullptr ? responses[plan.responses[(size_t)c]] : nullptr;
            ok = channelList[c] != nullptr;
        }

        if (!ok)
            showErrorBox ("Error writing file " + file.getFileName() + " : Out of memory");
        else if (formatIndex == 0)
            ok = saveResponseTxt (file, channelList, responseLen, numChannels);
        else
            ok = saveResponseWav (file, channelList, responseLen, numChannels, request.sampleRate,
                                  kBitsForFormat[formatIndex]);
        free (channelList);
    }

    if (ok)
    {
        statusText += outputFilesSentence (organisation, request.numPlayChan, request.numRecChan, names);
        if (gQvLogLevel >= 2)
            QvLog2 (2, "%s", statusText.toRawUTF8());
        juce::AlertWindow::showMessageBox (juce::MessageBoxIconType::InfoIcon, "Impulse response written", statusText,
                                           "OK", nullptr);
    }

    freeResponseTable (responses, numResponses);
    return ok;
}
