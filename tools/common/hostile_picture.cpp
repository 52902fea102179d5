#include "common/hostile_picture.h"

#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

namespace orbtools {

std::vector<uint8_t> HostileJpeg() {
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* mem = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &mem, &size);
    c.image_width = 64;
    c.image_height = 64;
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    c.arith_code = TRUE;
    jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    std::vector<uint8_t> row(64 * 3, 128);
    while (c.next_scanline < c.image_height) {
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::vector<uint8_t> out(mem, mem + size);
    std::free(mem);
    // The frame header (SOF10: progressive, arithmetic) gets the hostile size.
    for (size_t i = 0; i + 9 < out.size(); ++i) {
        if (out[i] == 0xFF && out[i + 1] == 0xCA) {
            out[i + 5] = 0x40, out[i + 6] = 0x00;  // height 16384
            out[i + 7] = 0x40, out[i + 8] = 0x00;  // width 16384
            break;
        }
    }
    return out;
}

}  // namespace orbtools
