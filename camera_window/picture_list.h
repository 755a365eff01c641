// The picture list: numbers of the selected camera pictures in the order they will be
// fetched. A number occurs at most once; numbers are never 0, so 0 means "no entry".
#pragma once

#include <cstdint>

enum PictureFindResult : uint16_t {
    PICTURE_SELECTED     = 0,
    PICTURE_NOT_SELECTED = 1,
    PICTURE_LIST_EMPTY   = 2,
};

// Append the camera's current picture at the tail (nothing when the camera has no pictures
// or the picture is already listed). False only when memory ran out; the list is unchanged then.
bool pictureListAppendCurrent();
// Append 1, 2, ..., picture count at the tail. False when memory ran out part way; the
// list then holds the numbers appended so far and nothing else.
bool pictureListAppendAll();
PictureFindResult pictureListFindCurrent();
bool pictureListContains(uint16_t number);
void pictureListRemoveCurrent();
uint16_t pictureListCount();
// The first number, taken out of the list; 0 when the list is empty.
uint16_t pictureListTakeFirst();
void pictureListEmpty();
