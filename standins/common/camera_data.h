// "Camera data": the container in which the simulated LX-1 and LX-2 cameras hand over one
// picture, and which k4iSplitData takes apart into N0100001.K4I/.K4S/.REL. Little-endian.
//
//   offset 0   char[4]  magic "K4CD"
//          4   uint16   version, 1
//          6   uint16   number of parts, at most CAMERA_DATA_MAX_PARTS
//          8   parts, one after the other:
//                uint32 kind (CAMERA_PART_K4I, _K4S or _REL; each kind at most once)
//                uint32 size in bytes
//                size bytes of content
//
// A reader must check every size against the block it was given; the data comes from
// the camera line and is not to be trusted.
#pragma once

#include <cstdint>

constexpr char     CAMERA_DATA_MAGIC[4]  = {'K', '4', 'C', 'D'};
constexpr uint16_t CAMERA_DATA_VERSION   = 1;
constexpr uint16_t CAMERA_DATA_MAX_PARTS = 3;
constexpr uint32_t CAMERA_DATA_HEADER_SIZE = 8;
constexpr uint32_t CAMERA_PART_HEADER_SIZE = 8;

enum CameraPartKind : uint32_t {
    CAMERA_PART_K4I = 1,  // the picture, written as N0100001.K4I
    CAMERA_PART_K4S = 2,  // companion, written as N0100001.K4S
    CAMERA_PART_REL = 3,  // companion, written as N0100001.REL
};
