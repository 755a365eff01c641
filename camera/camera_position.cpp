#include "camera/camera_position.h"

CameraPosition g_camera;
