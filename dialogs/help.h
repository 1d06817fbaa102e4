#pragma once
// The help command: the help file opened at its table of contents.

// Asks the help viewer for the application's help file; shows "The Help
// file ... could not be found." when it cannot show it, and another error
// when there is no viewer.
void ShowHelpContents();
