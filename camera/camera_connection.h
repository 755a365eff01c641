// The camera connection: the open link to one camera through its family's communication
// library, and the camera's position (camera_position.h). Every operation dispatches on the
// model number of the settings and returns 0 or the library's code unchanged. An operation
// that fails on an open link closes the link itself; the caller clears the connected flag.
#pragma once

#include <windows.h>
#include <cstdint>

// Our own code, clear of the maker's codes and of the simulated cameras' FFxx: the settings
// name no camera family (a settings file with CameraNum outside 1-3, or a model box without a
// selection), so there is no library to open.
constexpr uint16_t CONNECT_ERR_NO_MODEL = 0xFD01;

// Opens the link for the chosen family, reads the position, sets the connected flag and
// saves the settings. On failure nothing stays open and the settings file is untouched.
uint16_t cameraConnect();
// Empties the picture selection and closes the link. The connected flag is left to the caller.
uint16_t cameraClose();
// One picture back or on; nothing while the camera holds no picture.
uint16_t cameraPrev();
uint16_t cameraNext();
// LX-3: moves to the number typed into the number box (wParam of its WM_COMMAND; only
// EN_CHANGE acts). A number out of range puts the current number back into the box.
uint16_t cameraGoTo(WPARAM command);
// LX-2: switches to the memory card (1) or the internal memory (0); empties the selection.
uint16_t cameraSetMedium(uint16_t medium);
// Reads the camera's position again and shows it.
uint16_t cameraResync();
// Writes the current picture number and the picture count into the camera page's boxes.
void cameraShowNumbers();
