// What a played user reads off the source's controls: the texts the screen shows, never the
// source's own state.
#pragma once

#include <windows.h>

#include <string>

// The entry a combo box shows as chosen; empty when none is chosen or its text is too long to be
// one of the source's entries.
std::string chosenEntry(HWND box);
