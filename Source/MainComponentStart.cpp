#include "MainComponent.h"

// Placeholder: Start and Stop of a measurement run.
void MainComponent::startMeasurement() {}
void MainComponent::stopMeasurement() {}
