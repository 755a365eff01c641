// The camera settings, their combo boxes and the settings file. The record is all zero at
// load: a model number of 0 makes the option page read the settings file when it is set up.
#include "camera/camera_settings.h"

#include <cstdio>

CameraSettings g_settings = {0, 0, 0};

namespace {

const char SECTION[] = "DEFAULT_OPTION";
const char KEY_MODEL[] = "CameraNum";
const char KEY_PORT[] = "PortNum";
const char KEY_SPEED[] = "SendSpeed";
// What GetPrivateProfileInt gives for a missing key: no setting uses it.
const int MISSING = 9;

// The model list runs from LX-3 down to LX-1: list index = 3 - model number.
const char* const MODEL_NAMES[] = {"LX-3 / MLX-300", "LX-2 / MLX-2", "LX-1 / MLX-1"};
const char* const PORT_NAMES[] = {"COM1", "COM2", "COM3", "COM4"};
const char* const SPEED_NAMES[] = {"2400bps", "4800bps", "9600bps", "19200bps", "38400bps", "57600bps", "115200bps"};
const int32_t SPEED_BPS[] = {2400, 4800, 9600, 19200, 38400, 57600, 115200};

const int SPEED_COUNT = 7;
const int LX1_SPEED_COUNT = 4;  // up to "19200bps"
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

bool writeKey(const std::string& path, const char* key, int32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
    return WritePrivateProfileStringA(SECTION, key, text, path.c_str()) != FALSE;
}

}  // namespace

std::string settingsFilePath()
{
    char directory[MAX_PATH] = "";
    const UINT length = GetWindowsDirectoryA(directory, sizeof directory);
    if (length == 0 || length >= sizeof directory) directory[0] = '\0';
    return std::string(directory) + "\\lx3twain.ini";
}

int settingsLoad(const SettingsBoxes& boxes)
{
    addStrings(boxes.model, MODEL_NAMES);
    addStrings(boxes.port, PORT_NAMES);
    addStrings(boxes.speed, SPEED_NAMES);

    if (g_settings.modelNumber == MODEL_NONE) {
        const std::string path = settingsFilePath();
        g_settings.modelNumber = static_cast<int32_t>(GetPrivateProfileIntA(SECTION, KEY_MODEL, MISSING, path.c_str()));
        g_settings.portNumber = static_cast<int32_t>(GetPrivateProfileIntA(SECTION, KEY_PORT, MISSING, path.c_str()));
        g_settings.speedIndex = static_cast<int32_t>(GetPrivateProfileIntA(SECTION, KEY_SPEED, MISSING, path.c_str()));
        if (g_settings.modelNumber == MISSING) {
            g_settings = {MODEL_LX3, 1, SPEED_INDEX_115200};
            if (!writeKey(path, KEY_MODEL, g_settings.modelNumber) || !writeKey(path, KEY_PORT, g_settings.portNumber) ||
                !writeKey(path, KEY_SPEED, g_settings.speedIndex))
                return 0;
        }
    }

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
    g_settings.modelNumber = model >= 0 && model <= 2 ? MODEL_LX3 - model : MODEL_NONE;
    g_settings.portNumber = selection(boxes.port) + 1;
    g_settings.speedIndex = selection(boxes.speed);
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

int32_t speedToBps(int32_t speedIndex)
{
    if (speedIndex < 0 || speedIndex >= SPEED_COUNT) return speedIndex;
    return SPEED_BPS[speedIndex];
}

void settingsSave()
{
    const std::string path = settingsFilePath();
    writeKey(path, KEY_MODEL, g_settings.modelNumber);
    writeKey(path, KEY_PORT, g_settings.portNumber);
    writeKey(path, KEY_SPEED, g_settings.speedIndex);
}
