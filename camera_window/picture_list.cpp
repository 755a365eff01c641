#include "camera_window/picture_list.h"

#include "camera/camera_families.h"
#include "camera/camera_position.h"

#include <algorithm>
#include <new>
#include <vector>

namespace {

std::vector<uint16_t> g_pictures;

bool contains(uint16_t number)
{
    return std::find(g_pictures.begin(), g_pictures.end(), number) != g_pictures.end();
}

bool append(uint16_t number)
{
    if (contains(number)) return true;
    try {
        g_pictures.push_back(number);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

}  // namespace

bool pictureListAppendCurrent()
{
    if (pictureCountOfModel() == 0 || g_camera.currentPicture == 0) return true;
    return append(g_camera.currentPicture);
}

bool pictureListAppendAll()
{
    const uint32_t count = std::min<uint32_t>(pictureCountOfModel(), 0xFFFF);
    for (uint32_t number = 1; number <= count; ++number) {
        if (!append(static_cast<uint16_t>(number))) return false;
    }
    return true;
}

PictureFindResult pictureListFindCurrent()
{
    if (g_pictures.empty()) return PICTURE_LIST_EMPTY;
    return contains(g_camera.currentPicture) ? PICTURE_SELECTED : PICTURE_NOT_SELECTED;
}

bool pictureListContains(uint16_t number)
{
    return contains(number);
}

void pictureListRemoveCurrent()
{
    const auto found = std::find(g_pictures.begin(), g_pictures.end(), g_camera.currentPicture);
    if (found != g_pictures.end()) g_pictures.erase(found);
}

uint16_t pictureListCount()
{
    return static_cast<uint16_t>(g_pictures.size());
}

uint16_t pictureListTakeFirst()
{
    if (g_pictures.empty()) return 0;
    const uint16_t first = g_pictures.front();
    g_pictures.erase(g_pictures.begin());
    return first;
}

void pictureListEmpty()
{
    g_pictures.clear();
    g_pictures.shrink_to_fit();
}
