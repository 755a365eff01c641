// The camera settings record. All zero at load: a model number of 0 makes the option page read
// the settings file the first time it is set up.
#include "camera_settings.h"

CameraSettings g_settings = {0, 0, 0};
