#include "MainComponent.h"

// Placeholder: the output stage.
void MainComponent::writeResponseFiles (float**, int, juce::String&, int) {}
