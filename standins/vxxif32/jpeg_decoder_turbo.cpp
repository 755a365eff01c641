// jpeg_decoder.h on top of libjpeg-turbo (SIMD, scaled decoding straight from the DCT).
// libjpeg reports errors through an error manager that must not return: ours records the code
// and longjmps back to jpegDecode, which destroys the decompressor. Nothing between setjmp and
// the places that jump has a destructor to run: the decoder's buffers come from libjpeg's own
// pools, which jpeg_destroy_decompress frees.
#include "jpeg_decoder.h"

#include <csetjmp>
#include <cstdio>
#include <initializer_list>

#include <jerror.h>
#include <jpeglib.h>

#include "exif_parser.h"
#include "picture.h"
#include "result_codes.h"

namespace {

// Rows asked of libjpeg per delivery to the sink.
constexpr JDIMENSION ROWS_PER_DELIVERY = 16;

struct Decoder {
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr errors;
    jpeg_progress_mgr progress;
    std::jmp_buf jump;
    uint16_t failure;
    const JpegRowSink* sink;
};

Decoder* decoderOf(j_common_ptr cinfo) { return static_cast<Decoder*>(cinfo->client_data); }

[[noreturn]] void failWith(j_common_ptr cinfo, uint16_t code) {
    Decoder* d = decoderOf(cinfo);
    d->failure = code;
    std::longjmp(d->jump, 1);
}

uint16_t codeForError(int messageCode) {
    switch (messageCode) {
    case JERR_OUT_OF_MEMORY:
    case JERR_NO_BACKING_STORE:  // the coefficients of a multi-scan picture exceed the limit
        return IMG_ERR_NO_MEMORY;
    case JERR_INPUT_EMPTY:
    case JERR_INPUT_EOF:
        return IMG_ERR_TRUNCATED;
    case JERR_IMAGE_TOO_BIG:
    case JERR_WIDTH_OVERFLOW:
        return IMG_ERR_TOO_LARGE;
    case JERR_ARITH_NOTIMPL:
    case JERR_NOT_COMPILED:
    case JERR_BAD_PRECISION:
        return IMG_ERR_UNSUPPORTED;
    default:
        return IMG_ERR_CORRUPT;
    }
}

// Bytes a scan's data may hold beyond its last block: a few bytes of padding some encoders
// write. More means data for blocks the frame does not have, as when the frame header states a
// picture smaller than its scan holds.
constexpr int SCAN_SLACK_BYTES = 16;

// libjpeg only warns about damaged entropy-coded data and goes on, filling the rest of the
// picture with grey or garbage. A bitmap like that is no picture: these fail the decode.
// Unknown Adobe transforms or JFIF revisions are harmless. (Stray bytes between segments never
// reach the decoder: parseJpeg refuses them.)
uint16_t codeForWarning(const jpeg_error_mgr& err) {
    switch (err.msg_code) {
    case JWRN_HUFF_BAD_CODE:  // from both Huffman decoders: our libjpeg-turbo is patched for the fast one
    case JWRN_HIT_MARKER:  // a scan's data ends before its blocks do
    case JWRN_MUST_RESYNC:  // a restart marker out of sequence
    case JWRN_BOGUS_PROGRESSION:
        return IMG_ERR_CORRUPT;
    case JWRN_EXTRANEOUS_DATA:  // bytes after a scan's or restart interval's last block
        return err.msg_parm.i[0] > SCAN_SLACK_BYTES ? IMG_ERR_CORRUPT : IMG_OK;
    case JWRN_JPEG_EOF:
        return IMG_ERR_TRUNCATED;
    default:
        return IMG_OK;
    }
}

void onError(j_common_ptr cinfo) { failWith(cinfo, codeForError(cinfo->err->msg_code)); }

void onMessage(j_common_ptr cinfo, int level) {
    if (level >= 0) return;  // trace messages
    uint16_t code = codeForWarning(*cinfo->err);
    if (code != IMG_OK) failWith(cinfo, code);
}

void printNothing(j_common_ptr) {}

void onProgress(j_common_ptr cinfo) {
    const jpeg_progress_mgr* p = cinfo->progress;
    // parseJpeg bounds the scans already; the decoder keeps its own count all the same.
    if (reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > int(JPEG_MAX_SCANS))
        failWith(cinfo, IMG_ERR_BAD_FORMAT);
    const JpegRowSink* sink = decoderOf(cinfo)->sink;
    if (!sink->progress || p->pass_limit <= 0 || p->total_passes <= 0) return;
    // Passes weigh the same; a multi-scan file's input pass may grow when it has more scans
    // than libjpeg guessed, and the percentage then stands still rather than going back.
    constexpr uint64_t unit = 1u << 16;
    uint64_t within = uint64_t(p->pass_counter < 0 ? 0 : p->pass_counter) * unit / uint64_t(p->pass_limit);
    uint64_t done = uint64_t(p->completed_passes) * unit + (within > unit ? unit : within);
    if (!sink->progress(sink->context, done, uint64_t(p->total_passes) * unit)) failWith(cinfo, IMG_ERR_CANCELLED);
}

void chooseScale(j_decompress_ptr cinfo, const JpegDecodeOptions& options) {
    cinfo->scale_num = 1;
    if (options.coverWidth == 0 || options.coverHeight == 0) return;
    for (unsigned denominator : {8u, 4u, 2u}) {
        cinfo->scale_denom = denominator;
        jpeg_calc_output_dimensions(cinfo);
        if (cinfo->output_width >= options.coverWidth && cinfo->output_height >= options.coverHeight) return;
    }
    cinfo->scale_denom = 1;
}

// CMYK rows to RGB in place (each RGB row is shorter than its CMYK row, so writing never
// overtakes reading). Files with an Adobe marker (Photoshop's and most others') store the
// inks inverted: 255 means no ink.
void cmykToRgb(uint8_t* data, size_t pixels, bool inverted) {
    const uint8_t* in = data;
    uint8_t* out = data;
    for (size_t i = 0; i < pixels; ++i, in += 4, out += 3) {
        unsigned c = in[0], m = in[1], y = in[2], k = in[3];
        if (!inverted) c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
        out[0] = uint8_t((c * k + 127) / 255);
        out[1] = uint8_t((m * k + 127) / 255);
        out[2] = uint8_t((y * k + 127) / 255);
    }
}

// The decode proper, after setjmp: any libjpeg error lands back in jpegDecode.
uint16_t run(Decoder* d, const uint8_t* data, size_t size, const JpegDecodeOptions& options) {
    j_decompress_ptr cinfo = &d->cinfo;
    jpeg_mem_src(cinfo, data, static_cast<unsigned long>(size));
    if (jpeg_read_header(cinfo, TRUE) != JPEG_HEADER_OK) return IMG_ERR_BAD_FORMAT;
    if (!pictureSizeAllowed(cinfo->image_width, cinfo->image_height)) return IMG_ERR_TOO_LARGE;
    bool cmyk = cinfo->num_components == 4;
    const JpegRowSink& sink = *d->sink;
    cinfo->out_color_space = cmyk ? JCS_CMYK : JCS_RGB;  // greyscale too: libjpeg-turbo widens it
    chooseScale(cinfo, options);
    jpeg_calc_output_dimensions(cinfo);
    if (sink.begin) {
        uint16_t rc = sink.begin(sink.context, cinfo->image_width, cinfo->image_height, cinfo->output_width,
                                 cinfo->output_height);
        if (rc != IMG_OK) return rc;
    }
    bool direct = !cmyk && sink.directRow && sink.directRow(sink.context, 0);
    if (direct) cinfo->out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(cinfo);
    if (direct) {
        // Straight into the caller's rows: no buffer, no copy.
        while (cinfo->output_scanline < cinfo->output_height) {
            JSAMPROW row = sink.directRow(sink.context, cinfo->output_scanline);
            jpeg_read_scanlines(cinfo, &row, 1);
        }
        jpeg_finish_decompress(cinfo);
        if (sink.progress && !sink.progress(sink.context, 1, 1)) return IMG_ERR_CANCELLED;
        return IMG_OK;
    }

    const JDIMENSION width = cinfo->output_width;
    const size_t stride = size_t(width) * cinfo->output_components;
    JDIMENSION rowsPerDelivery = ROWS_PER_DELIVERY;
    if (JDIMENSION(cinfo->rec_outbuf_height) > rowsPerDelivery) rowsPerDelivery = JDIMENSION(cinfo->rec_outbuf_height);
    auto* buffer = static_cast<JSAMPLE*>(
        (*cinfo->mem->alloc_large)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE, stride * rowsPerDelivery));
    auto* rows = static_cast<JSAMPARRAY>((*cinfo->mem->alloc_small)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
                                                                   sizeof(JSAMPROW) * rowsPerDelivery));
    for (JDIMENSION r = 0; r < rowsPerDelivery; ++r) rows[r] = buffer + stride * r;

    while (cinfo->output_scanline < cinfo->output_height) {
        JDIMENSION first = cinfo->output_scanline, filled = 0;
        while (filled < rowsPerDelivery && cinfo->output_scanline < cinfo->output_height)
            filled += jpeg_read_scanlines(cinfo, rows + filled, rowsPerDelivery - filled);
        if (cmyk) cmykToRgb(buffer, size_t(width) * filled, cinfo->saw_Adobe_marker);
        sink.rows(sink.context, first, filled, buffer);
    }
    jpeg_finish_decompress(cinfo);  // reads to EOI: damage after the last row still counts
    if (sink.progress && !sink.progress(sink.context, 1, 1)) return IMG_ERR_CANCELLED;
    return IMG_OK;
}

}  // namespace

uint16_t jpegDecode(const uint8_t* data, size_t size, const JpegDecodeOptions& options, const JpegRowSink& sink) {
    Decoder d = {};
    d.sink = &sink;
    d.cinfo.err = jpeg_std_error(&d.errors);
    d.errors.error_exit = onError;
    d.errors.emit_message = onMessage;
    d.errors.output_message = printNothing;
    d.cinfo.client_data = &d;
    if (setjmp(d.jump)) {
        jpeg_destroy_decompress(&d.cinfo);
        return d.failure;
    }
    jpeg_create_decompress(&d.cinfo);
    d.cinfo.mem->max_memory_to_use = long(options.memoryLimit);
    d.progress.progress_monitor = onProgress;
    d.cinfo.progress = &d.progress;
    uint16_t rc = run(&d, data, size, options);
    jpeg_destroy_decompress(&d.cinfo);
    return rc;
}
