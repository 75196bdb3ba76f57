#pragma once
// The folder chooser of the main window, over the class library's folder dialog (so
// tests answer it with the dialog responder).

#include <string>

class TControl;

// Asks for a folder, starting at Folder (no folder is preselected when it is empty);
// "~" stands for the home folder, in Folder and in the answer.
// Title says what the folder is for ("\r\n" breaks its lines); AllowNewFolder lets the
// user make a folder in the dialog. True with the chosen folder in Folder; Cancel gives
// false, leaves Folder as it was and shows nothing.
bool SelectFolder(std::string& Folder, const std::string& Title, bool AllowNewFolder, TControl* Owner);
