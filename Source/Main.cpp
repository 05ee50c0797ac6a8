#include "TolvaneApplication.h"

START_JUCE_APPLICATION (TolvaneApplication)
