// The option page's three combo boxes: the camera settings shown in them and taken from them.
#pragma once

#include <windows.h>

struct SettingsBoxes {
    HWND model;
    HWND port;
    HWND speed;
};

// Fills freshly created boxes with their lists (the families in camera/camera_families.h) and
// selects the current settings, loading the
// settings file first when nothing is loaded (camera/camera_settings.h). 0 when the file's
// defaults could not be written; the boxes are then left without a selection.
int settingsShow(const SettingsBoxes& boxes);
// Hands the three selections to the settings. Returns 1.
int settingsTake(const SettingsBoxes& boxes);
// Rebuilds the speed list for the family chosen in the model box, whose line may take only the
// slower speeds (LX-1: up to 19200 bits per second). Returns 1.
int settingsFitSpeedList(const SettingsBoxes& boxes);
