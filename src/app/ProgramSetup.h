// What the desk program sets up before its first window, shared with the tool that takes
// the guide's pictures so that they show the screens as the program does.
#pragma once

namespace ProgramSetup {
// Off screen there is no desktop font configuration to fall back on for Chinese glyphs.
void loadChineseFont();
// Every folder's screens, so that each command of the main window opens its screen.
void registerAllScreens();
} // namespace ProgramSetup
