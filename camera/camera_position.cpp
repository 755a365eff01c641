#include "camera/camera_position.h"

#include "camera/camera_settings.h"

CameraPosition g_camera;

uint32_t pictureCountOfModel()
{
    if (g_settings.modelNumber == MODEL_LX3) return static_cast<uint16_t>(g_camera.pictureCount);
    return g_camera.pictureCount;
}
