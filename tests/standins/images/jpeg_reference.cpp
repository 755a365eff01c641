#include "jpeg_reference.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace {

struct Reference {
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr errors;
    std::jmp_buf jump;
};

void jumpBack(j_common_ptr cinfo) { std::longjmp(static_cast<Reference*>(cinfo->client_data)->jump, 1); }

}  // namespace

std::vector<uint8_t> directDecode(const std::vector<uint8_t>& file, int* width, int* height) {
    Reference r = {};
    std::vector<uint8_t> rgb;
    r.cinfo.err = jpeg_std_error(&r.errors);
    r.errors.error_exit = jumpBack;
    r.cinfo.client_data = &r;
    if (setjmp(r.jump)) {
        jpeg_destroy_decompress(&r.cinfo);
        return {};
    }
    jpeg_create_decompress(&r.cinfo);
    jpeg_mem_src(&r.cinfo, file.data(), static_cast<unsigned long>(file.size()));
    jpeg_read_header(&r.cinfo, TRUE);
    r.cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&r.cinfo);
    *width = int(r.cinfo.output_width);
    *height = int(r.cinfo.output_height);
    rgb.resize(size_t(*width) * size_t(*height) * 3);
    while (r.cinfo.output_scanline < r.cinfo.output_height) {
        JSAMPROW row = rgb.data() + size_t(r.cinfo.output_scanline) * size_t(*width) * 3;
        jpeg_read_scanlines(&r.cinfo, &row, 1);
    }
    jpeg_finish_decompress(&r.cinfo);
    jpeg_destroy_decompress(&r.cinfo);
    return rgb;
}
