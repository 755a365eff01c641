// The camera families, one record each: what the option page lists, what the line takes,
// which media the camera has and what its camera page offers, and the operations of its
// library. The rest of the source asks the record of the family the settings name and never
// compares model numbers: a new family is a new record in camera_families.cpp, with its
// library's declarations in win32/maker/.
#pragma once

#include <cstddef>
#include <cstdint>

#include "camera/image_decoding.h"

struct CameraFamily {
    int32_t     model;                  // the settings' model number (CameraNum)
    const char* name;                   // as the option page lists it
    int32_t     speedCount;             // line speeds it takes, from 2400 bits per second on
    bool        hasCard;                // a memory card
    bool        hasInternalMemory;
    bool        switchesMedium;         // the medium radios choose between its two media
    bool        jumpsToNumber;          // a number typed into the number box moves the camera
    bool        countsIn16Bits;         // its library reports the picture count in 16 bits
    bool        redrawsProgressLabels;  // its download dialog's labels are written again at each drawing

    // The library's operations, each returning 0 or the library's code. A failing one leaves the
    // line as the library left it: the camera connection closes it.
    // Opens the line at the settings' port and speed.
    uint16_t (*open)();
    uint16_t (*close)();
    // Reads the current picture and the count, and the medium when `takeMedium` (the connect).
    uint16_t (*readPosition)(bool takeMedium);
    // One picture on (+1) or back (-1); the camera's new current picture is written.
    uint16_t (*step)(int direction);
    // Moves to picture `number`; null unless the family jumps to a number.
    uint16_t (*goTo)(uint16_t number);
    // Switches to `medium` (MEDIUM_CARD or MEDIUM_INTERNAL); null unless the family switches.
    uint16_t (*setMedium)(uint16_t medium);
    // Downloads picture `number` and decodes it (acquisition.h).
    uint16_t (*takePicture)(DecodedPicture* picture, uint16_t number);
};

// The families in the order the option page lists them.
extern const CameraFamily* const CAMERA_FAMILIES[];
extern const size_t CAMERA_FAMILY_COUNT;

// The family of a model number, null for none.
const CameraFamily* familyOfModel(int32_t model);
// The family the settings name, null for none.
const CameraFamily* cameraFamily();
// The camera's picture count as its family's library reports it: some count in 16 bits.
uint32_t pictureCountOfModel();
