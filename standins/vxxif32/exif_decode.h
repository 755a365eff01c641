// Exif JPEG pictures to bitmap blocks: parse and bound first, then decode, then turn the
// pixels upright into the shared bitmap layout. Portable; VXXIF32.dll and the fuzzer both
// call these.
#pragma once

#include <cstddef>
#include <cstdint>

#include "exif_parser.h"
#include "picture.h"
#include "progress.h"

constexpr uint64_t EXIF_MAX_FILE_SIZE = 128ull * 1024 * 1024;
// An embedded "thumbnail" larger than this is not one; the picture itself is used instead.
constexpr uint32_t EXIF_THUMB_MAX_SIDE = 1024;

// The whole picture, upright, with its resolution in the bitmap header (swapped with the axes
// when the picture is turned a quarter round). Rows go to their upright place as the decoder
// delivers them. Progress: begin, 0-100 % over the decoder's passes (one for a baseline file;
// a progressive file's scans are read in a first pass), end.
uint16_t exifDecodePicture(const uint8_t* data, size_t size, BlockAllocator allocator, ProgressSink progress,
                           JpegFacts* facts);

// A THUMBNAIL_WIDTH x THUMBNAIL_HEIGHT upright thumbnail: from the embedded thumbnail when
// there is a usable one, otherwise from the picture decoded at a reduced DCT scale.
uint16_t exifDecodeThumbnail(const uint8_t* data, size_t size, BlockAllocator allocator, JpegFacts* facts);

// The thumbnail from a file's first bytes alone (a file of fileSize bytes whose first headSize
// bytes are `head`), when parseJpegHeaders accepts them and the embedded thumbnail lies within
// them and decodes. Any other result means: decode the whole file with exifDecodeThumbnail.
uint16_t exifDecodeHeadThumbnail(const uint8_t* head, size_t headSize, uint64_t fileSize, BlockAllocator allocator,
                                 JpegFacts* facts);
