// What the library does when it is loaded into and unloaded from a process. DllMain calls
// these; tests that link the source's static library call them with their own instance.
#pragma once

#include <windows.h>

// Records the module instance, fills the identity defaults from the string table, registers
// the two window classes and installs the doors between the layers: the windows' requests to
// the protocol, the camera's progress to the progress dialog.
void sourceAttach(HINSTANCE instance);
// Unregisters the window classes; nothing else is released.
void sourceDetach();
