#include "widgets/ScreenRegistry.h"

// Screens of this folder that the main window's commands open.
void registerCirculationScreens() {}
