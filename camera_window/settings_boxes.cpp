#include "camera_window/settings_boxes.h"

#include "camera/camera_settings.h"

namespace {

// The model list runs from LX-3 down to LX-1: list index = 3 - model number.
const char* const MODEL_NAMES[] = {"LX-3 / MLX-300", "LX-2 / MLX-2", "LX-1 / MLX-1"};
const char* const PORT_NAMES[] = {"COM1", "COM2", "COM3", "COM4"};
const char* const SPEED_NAMES[SPEED_COUNT] = {"2400bps",  "4800bps",  "9600bps", "19200bps",
                                              "38400bps", "57600bps", "115200bps"};
const int MODEL_INDEX_LX1 = 2;

template <size_t N>
void addStrings(HWND box, const char* const (&names)[N], size_t count = N)
{
    for (size_t i = 0; i < count && i < N; ++i) SendMessageA(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(names[i]));
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
    addStrings(boxes.model, MODEL_NAMES);
    addStrings(boxes.port, PORT_NAMES);
    addStrings(boxes.speed, SPEED_NAMES);
    if (!settingsLoad()) return 0;

    // Values are used as read: one outside a list leaves its box without a selection.
    const int32_t model = g_settings.modelNumber;
    select(boxes.model, model >= MODEL_LX1 && model <= MODEL_LX3 ? MODEL_LX3 - model : model - 1);
    select(boxes.port, g_settings.portNumber - 1);
    select(boxes.speed, g_settings.speedIndex);
    return 1;
}

int settingsTake(const SettingsBoxes& boxes)
{
    const int model = selection(boxes.model);
    settingsChoose(model >= 0 && model <= 2 ? MODEL_LX3 - model : MODEL_NONE, selection(boxes.port) + 1,
                   selection(boxes.speed));
    return 1;
}

int settingsFitSpeedList(const SettingsBoxes& boxes)
{
    const int model = selection(boxes.model);
    const int speed = selection(boxes.speed);
    if (model < 0) return 1;
    SendMessageA(boxes.speed, CB_RESETCONTENT, 0, 0);
    if (model == MODEL_INDEX_LX1) {
        addStrings(boxes.speed, SPEED_NAMES, LX1_SPEED_COUNT);
        select(boxes.speed, speed <= LX1_SPEED_COUNT - 1 ? speed : LX1_SPEED_COUNT - 1);
    } else {
        addStrings(boxes.speed, SPEED_NAMES);
        select(boxes.speed, speed);
    }
    return 1;
}
