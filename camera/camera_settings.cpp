#include "camera_settings.h"

CameraSettings g_settings;
