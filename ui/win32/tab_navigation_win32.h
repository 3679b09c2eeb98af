// Moving the keyboard focus through the tab stops of the active window, as
// the Tab and Shift+Tab accelerators ask.
#pragma once

void FocusNextTabStop();
void FocusPreviousTabStop();
