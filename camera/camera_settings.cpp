// The camera settings and the settings file. The record is all zero at load: a model number of
// 0 makes the option page read the settings file when it is set up.
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

const int32_t SPEED_BPS[SPEED_COUNT] = {2400, 4800, 9600, 19200, 38400, 57600, 115200};

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

bool settingsLoad()
{
    if (g_settings.modelNumber != MODEL_NONE) return true;
    const std::string path = settingsFilePath();
    g_settings.modelNumber = static_cast<int32_t>(GetPrivateProfileIntA(SECTION, KEY_MODEL, MISSING, path.c_str()));
    g_settings.portNumber = static_cast<int32_t>(GetPrivateProfileIntA(SECTION, KEY_PORT, MISSING, path.c_str()));
    g_settings.speedIndex = static_cast<int32_t>(GetPrivateProfileIntA(SECTION, KEY_SPEED, MISSING, path.c_str()));
    if (g_settings.modelNumber != MISSING) return true;
    g_settings = {MODEL_LX3, 1, SPEED_INDEX_115200};
    return writeKey(path, KEY_MODEL, g_settings.modelNumber) && writeKey(path, KEY_PORT, g_settings.portNumber) &&
           writeKey(path, KEY_SPEED, g_settings.speedIndex);
}

void settingsChoose(int32_t modelNumber, int32_t portNumber, int32_t speedIndex)
{
    g_settings = {modelNumber, portNumber, speedIndex};
}

void settingsForget()
{
    g_settings.modelNumber = MODEL_NONE;
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
