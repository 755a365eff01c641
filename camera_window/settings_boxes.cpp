#include "camera_window/settings_boxes.h"

#include "camera/camera_families.h"
#include "camera/camera_settings.h"

namespace {

const char* const PORT_NAMES[] = {"COM1", "COM2", "COM3", "COM4"};
const char* const SPEED_NAMES[SPEED_COUNT] = {"2400bps",  "4800bps",  "9600bps", "19200bps",
                                              "38400bps", "57600bps", "115200bps"};

template <size_t N>
void addStrings(HWND box, const char* const (&names)[N], size_t count = N)
{
    for (size_t i = 0; i < count && i < N; ++i) SendMessageA(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(names[i]));
}

// The model box lists the families in their order; a model of no family has no entry (-1).
int familyEntry(int32_t model)
{
    for (size_t entry = 0; entry < CAMERA_FAMILY_COUNT; ++entry)
        if (CAMERA_FAMILIES[entry]->model == model) return static_cast<int>(entry);
    return -1;
}

const CameraFamily* familyOfEntry(int entry)
{
    return entry >= 0 && static_cast<size_t>(entry) < CAMERA_FAMILY_COUNT ? CAMERA_FAMILIES[entry] : nullptr;
}

int selection(HWND box)
{
    return static_cast<int>(SendMessageA(box, CB_GETCURSEL, 0, 0));
}

// An index outside the list leaves the box without a selection (CB_SETCURSEL clears it).
void select(HWND box, int index)
{
    SendMessageA(box, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

}  // namespace

int settingsShow(const SettingsBoxes& boxes)
{
    for (size_t entry = 0; entry < CAMERA_FAMILY_COUNT; ++entry)
        SendMessageA(boxes.model, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(CAMERA_FAMILIES[entry]->name));
    addStrings(boxes.port, PORT_NAMES);
    addStrings(boxes.speed, SPEED_NAMES);
    if (!settingsLoad()) return 0;

    // Values are used as read: one outside a list leaves its box without a selection.
    select(boxes.model, familyEntry(g_settings.modelNumber));
    select(boxes.port, g_settings.portNumber - 1);
    select(boxes.speed, g_settings.speedIndex);
    return 1;
}

int settingsTake(const SettingsBoxes& boxes)
{
    const CameraFamily* family = familyOfEntry(selection(boxes.model));
    settingsChoose(family ? family->model : MODEL_NONE, selection(boxes.port) + 1, selection(boxes.speed));
    return 1;
}

int settingsFitSpeedList(const SettingsBoxes& boxes)
{
    const CameraFamily* family = familyOfEntry(selection(boxes.model));
    const int speed = selection(boxes.speed);
    if (!family) return 1;
    SendMessageA(boxes.speed, CB_RESETCONTENT, 0, 0);
    addStrings(boxes.speed, SPEED_NAMES, family->speedCount);
    select(boxes.speed, speed < family->speedCount ? speed : family->speedCount - 1);
    return 1;
}
