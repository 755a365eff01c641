// The camera connection: the open link to one camera through its family's communication
// library (camera_families.h), and the camera's position (camera_position.h). Every operation
// goes through the family the settings name and returns 0 or the library's code unchanged. An operation that
// fails on an open link closes the link itself. Whether a link is open is known here only:
// this file is the connected flag's one writer.
#pragma once

#include <cstdint>

#include "camera/image_decoding.h"

// Our own code, clear of the maker's codes and of the simulated cameras' FFxx: the settings
// name no camera family (a settings file with CameraNum outside 1-3, or a model box without a
// selection), so there is no library to open.
constexpr uint16_t CONNECT_ERR_NO_MODEL = 0xFD01;
// Code of a picture asked of a camera whose family the settings do not name.
constexpr uint16_t ACQUIRE_ERR_UNKNOWN = 0xFFFF;

// True while a link is open.
bool cameraConnected();

// Opens the link for the chosen family, reads the position, and saves the settings. On failure
// nothing stays open and the settings file is untouched.
uint16_t cameraConnect();
// Closes the link. It counts as closed only when the library closed it: a link whose close
// failed is closed again when the source closes.
uint16_t cameraClose();
// Closes the link and counts it closed whatever the library answers.
uint16_t cameraDisconnect();
// One picture back or on; nothing while the camera holds no picture.
uint16_t cameraPrev();
uint16_t cameraNext();
// Moves to picture `number` (1 to the count) unless the camera is on it already; only a family
// that jumps to a number moves.
uint16_t cameraGoTo(uint16_t number);
// Switches to the memory card (1) or the internal memory (0); only a family with two media
// switches. A camera that cannot switch keeps the medium, count and current picture it had.
uint16_t cameraSetMedium(uint16_t medium);
// Reads the camera's position again.
uint16_t cameraResync();

// Camera picture `pictureNumber`, downloaded and decoded; the camera then stands on it. 0 with
// the picture; 0 with no picture when an LX-1 or LX-2 camera skipped it (CAM_ERR_SKIP) or its
// data held no picture: the caller goes on with the next. Otherwise the library's code:
// DEC_ERR_NOMEMORY (16 or 19), DEC_ERR_CANCELLED or CAM_ERR_CANCELLED after Cancel in the
// progress dialog, anything else a failure of the camera. The link stays open either way.
uint16_t cameraTakePicture(uint16_t pictureNumber, DecodedPicture* picture);
