#include "MainComponent.h"

// Placeholder: the response computation.
void MainComponent::computeResponse() {}
