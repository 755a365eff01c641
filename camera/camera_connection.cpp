// The camera connection, through the operations of the family the settings name
// (camera_families.h).
#include "camera/camera_connection.h"

#include "camera/camera_families.h"
#include "camera/camera_position.h"
#include "camera/camera_settings.h"

namespace {

bool g_connected = false;

uint16_t closeLink()
{
    const CameraFamily* family = cameraFamily();
    return family ? family->close() : 0;
}

// A failing camera is not asked again: the link goes, and with it the connection.
uint16_t closeAfterFailure(uint16_t code)
{
    closeLink();
    g_connected = false;
    return code;
}

uint16_t closingOnFailure(uint16_t code)
{
    return code != 0 ? closeAfterFailure(code) : 0;
}

uint16_t step(int direction)
{
    const CameraFamily* family = cameraFamily();
    if (!family || pictureCountOfModel() == 0) return 0;
    return closingOnFailure(family->step(direction));
}

}  // namespace

bool cameraConnected()
{
    return g_connected;
}

uint16_t cameraConnect()
{
    // No family, no library: a "connection" here would leave the window online with no camera
    // and write the bad value into the settings file.
    const CameraFamily* family = cameraFamily();
    if (!family) return CONNECT_ERR_NO_MODEL;
    uint16_t code = family->open();
    if (code != 0) return code;
    code = family->readPosition(true);
    if (code != 0) return closeAfterFailure(code);
    g_connected = true;
    settingsSave();
    return 0;
}

uint16_t cameraClose()
{
    const uint16_t code = closeLink();
    if (code == 0) g_connected = false;
    return code;
}

uint16_t cameraDisconnect()
{
    const uint16_t code = closeLink();
    g_connected = false;
    return code;
}

uint16_t cameraPrev()
{
    return step(-1);
}

uint16_t cameraNext()
{
    return step(+1);
}

uint16_t cameraGoTo(uint16_t number)
{
    const CameraFamily* family = cameraFamily();
    if (!family || !family->goTo || number == g_camera.currentPicture) return 0;
    const uint16_t code = closingOnFailure(family->goTo(number));
    if (code == 0) g_camera.currentPicture = number;
    return code;
}

uint16_t cameraSetMedium(uint16_t medium)
{
    const CameraFamily* family = cameraFamily();
    if (!family || !family->setMedium) return 0;
    // A line left open after a failure here would never be closed again.
    return closingOnFailure(family->setMedium(medium));
}

uint16_t cameraResync()
{
    const CameraFamily* family = cameraFamily();
    return family ? closingOnFailure(family->readPosition(false)) : 0;
}

uint16_t cameraTakePicture(uint16_t pictureNumber, DecodedPicture* picture)
{
    *picture = DecodedPicture{};
    const CameraFamily* family = cameraFamily();
    if (!family) return ACQUIRE_ERR_UNKNOWN;
    g_camera.currentPicture = pictureNumber;
    return family->takePicture(picture, pictureNumber);
}
