// JPEG reading and writing on libjpeg-turbo.
//
// libjpeg reports errors through its error manager, which here longjmps back
// to the setjmp in RunDecode or RunEncode. Those frames, and the callbacks,
// hold nothing with a destructor: all state lives in plain job records owned
// by the calling function, which releases what a failed run leaves behind.
// jpeglib.h uses size_t and FILE without including their headers.
#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

#include <csetjmp>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/error.h"
#include "core/memory.h"
#include "image/format.h"
#include "image/image.h"
#include "image/internal/codecs.h"
#include "image/internal/reader_support.h"

namespace {

constexpr const char* kSite = "Gfx_Image_LoadJPEG";
constexpr const char* kSaveSite = "Gfx_Image_SaveJPEG";

// A JPEG block of 64 pixels takes at least one bit in any scan order that
// starts with its DC coefficients, so a byte cannot carry more than 512
// pixels of one component.
constexpr std::uint64_t kPixelsPerByte = 512;
// Files that use more scans than this are built to burn time: every scan of
// a progressive file is a pass over the whole picture.
constexpr int kMaxScans = 1000;
// libjpeg's own working memory (coefficients of progressive files, mostly).
constexpr long kMaxWorkMemory = 512L << 20;

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void OnError(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

// Warnings (a file cut short, a bogus marker) are repaired by libjpeg, the way
// every viewer shows such files; they must not reach stderr.
void OnMessage(j_common_ptr, int) {}

void OnProgress(j_common_ptr cinfo) {
    if (!cinfo->is_decompressor) return;
    const auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > kMaxScans) {
        auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
        std::snprintf(err->message, sizeof err->message, "more than %d scans", kMaxScans);
        std::longjmp(err->jump, 1);
    }
}

void SetUpErrors(ErrorManager& err) {
    jpeg_std_error(&err.pub);
    err.pub.error_exit = OnError;
    err.pub.emit_message = OnMessage;
    err.message[0] = '\0';
}

const char* ColourSpaceName(J_COLOR_SPACE space) {
    switch (space) {
    case JCS_GRAYSCALE: return "grey";
    case JCS_RGB: return "RGB";
    case JCS_YCbCr: return "YCbCr";
    case JCS_CMYK: return "CMYK";
    case JCS_YCCK: return "YCCK";
    default: return "unknown colour space";
    }
}

// ---------------------------------------------------------------- reading

enum class Stage { Header, Pixels };

struct DecodeJob {
    const std::uint8_t* data;
    std::size_t size;
    std::int32_t want;
    Stage stage;
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    jpeg_progress_mgr progress;
    bool created;
    bool tooLarge;
    bool cmyk;  // decoded as CMYK, turned into RGB row by row
    std::int32_t format;
    std::uint32_t width, height, rowBytes;
    std::uint8_t* pixels;
    std::uint8_t* cmykRow;
};

void ConvertCmykRow(const std::uint8_t* in, std::uint8_t* out, std::uint32_t width, bool inverted, bool alpha) {
    const std::uint32_t step = alpha ? 4 : 3;
    for (std::uint32_t x = 0; x < width; ++x, in += 4, out += step) {
        std::uint32_t c = in[0], m = in[1], y = in[2], k = in[3];
        // Adobe's files store the inks inverted (255 = no ink); others as ink.
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        out[2] = static_cast<std::uint8_t>((c * k + 127) / 255);
        out[1] = static_cast<std::uint8_t>((m * k + 127) / 255);
        out[0] = static_cast<std::uint8_t>((y * k + 127) / 255);
        if (alpha) out[3] = 0xFF;
    }
}

bool RunDecode(DecodeJob* job) {
    jpeg_decompress_struct* cinfo = &job->cinfo;
    if (setjmp(job->err.jump)) return false;
    jpeg_create_decompress(cinfo);
    job->created = true;
    cinfo->mem->max_memory_to_use = kMaxWorkMemory;
    cinfo->progress = &job->progress;
    jpeg_mem_src(cinfo, job->data, static_cast<unsigned long>(job->size));
    jpeg_read_header(cinfo, TRUE);
    if (job->stage == Stage::Header) return true;

    if (!Gfx_Codec_SizeAllowed(cinfo->image_width, cinfo->image_height, job->size, kPixelsPerByte)) {
        job->tooLarge = true;
        return false;
    }
    const bool grey = cinfo->num_components == 1;
    const bool argb = job->want == GFX_FMT_ARGB8888;
    job->cmyk = cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK;
    if (job->cmyk)
        cinfo->out_color_space = JCS_CMYK;
    else if (argb)
        cinfo->out_color_space = JCS_EXT_BGRA;
    else if (grey)
        cinfo->out_color_space = JCS_GRAYSCALE;
    else
        cinfo->out_color_space = JCS_EXT_BGR;
    job->format = argb ? GFX_FMT_ARGB8888 : (grey && !job->cmyk ? GFX_FMT_CH8 : GFX_FMT_RGB888);
    const std::uint32_t bytesPerPixel = argb ? 4 : (job->format == GFX_FMT_CH8 ? 1 : 3);

    jpeg_start_decompress(cinfo);
    job->width = cinfo->output_width;
    job->height = cinfo->output_height;
    job->rowBytes = job->width * bytesPerPixel;
    job->pixels = static_cast<std::uint8_t*>(std::malloc(std::size_t{job->rowBytes} * job->height));
    if (job->cmyk) job->cmykRow = static_cast<std::uint8_t*>(std::malloc(std::size_t{job->width} * 4));
    if (!job->pixels || (job->cmyk && !job->cmykRow)) {
        std::snprintf(job->err.message, sizeof job->err.message, "no memory for the pixels");
        return false;
    }
    const bool inverted = cinfo->saw_Adobe_marker;
    while (cinfo->output_scanline < cinfo->output_height) {
        std::uint8_t* row = job->pixels + std::size_t{cinfo->output_scanline} * job->rowBytes;
        if (job->cmyk) {
            JSAMPROW in = job->cmykRow;
            if (jpeg_read_scanlines(cinfo, &in, 1) != 1) break;
            ConvertCmykRow(job->cmykRow, row, job->width, inverted, argb);
            continue;
        }
        // Several rows per call: libjpeg hands out its upsampled row groups.
        JSAMPROW rows[16];
        const std::uint32_t left = cinfo->output_height - cinfo->output_scanline;
        const std::uint32_t count = left < 16 ? left : 16;
        for (std::uint32_t i = 0; i < count; ++i) rows[i] = row + std::size_t{i} * job->rowBytes;
        if (jpeg_read_scanlines(cinfo, rows, count) == 0) break;
    }
    if (cinfo->output_scanline < cinfo->output_height) {
        std::snprintf(job->err.message, sizeof job->err.message, "the decoder stopped early");
        return false;
    }
    jpeg_finish_decompress(cinfo);
    return true;
}

DecodeJob* NewJob(const std::uint8_t* data, std::size_t size, std::int32_t want, Stage stage) {
    auto* job = static_cast<DecodeJob*>(std::calloc(1, sizeof(DecodeJob)));
    if (!job) return nullptr;
    job->data = data;
    job->size = size;
    job->want = want;
    job->stage = stage;
    SetUpErrors(job->err);
    job->cinfo.err = &job->err.pub;
    job->progress.progress_monitor = OnProgress;
    return job;
}

void DeleteJob(DecodeJob* job) {
    if (job->created) jpeg_destroy_decompress(&job->cinfo);
    std::free(job->pixels);
    std::free(job->cmykRow);
    std::free(job);
}

const char* ProcessName(const jpeg_decompress_struct& c) {
    if (c.arith_code) return c.progressive_mode ? "progressive, arithmetic-coded" : "arithmetic-coded";
    return c.progressive_mode ? "progressive" : "baseline";
}

// ---------------------------------------------------------------- writing

struct EncodeJob {
    const C_Image* image;
    std::FILE* file;
    std::int32_t quality;
    jpeg_compress_struct cinfo;
    ErrorManager err;
    bool created;
};

bool RunEncode(EncodeJob* job) {
    jpeg_compress_struct* cinfo = &job->cinfo;
    if (setjmp(job->err.jump)) return false;
    jpeg_create_compress(cinfo);
    job->created = true;
    jpeg_stdio_dest(cinfo, job->file);
    const C_Image& image = *job->image;
    cinfo->image_width = image.width;
    cinfo->image_height = image.height;
    switch (image.format) {
    case GFX_FMT_CH8:
        cinfo->input_components = 1;
        cinfo->in_color_space = JCS_GRAYSCALE;
        break;
    case GFX_FMT_ARGB8888:
        cinfo->input_components = 4;
        cinfo->in_color_space = JCS_EXT_BGRA;
        break;
    default:
        cinfo->input_components = 3;
        cinfo->in_color_space = JCS_EXT_BGR;
        break;
    }
    jpeg_set_defaults(cinfo);
    jpeg_set_quality(cinfo, job->quality, TRUE);
    // Optimised Huffman tables: smaller files for one more pass.
    cinfo->optimize_coding = TRUE;
    jpeg_start_compress(cinfo, TRUE);
    while (cinfo->next_scanline < cinfo->image_height) {
        JSAMPROW row = const_cast<std::uint8_t*>(image.Row(cinfo->next_scanline));
        jpeg_write_scanlines(cinfo, &row, 1);
    }
    jpeg_finish_compress(cinfo);
    return true;
}

}  // namespace

bool Gfx_Jpeg_Decode(const std::uint8_t* data, std::size_t size, std::int32_t want, C_Image& image) {
    Gfx_Image_Reset(image);
    DecodeJob* job = NewJob(data, size, want, Stage::Pixels);
    if (!job) return Gfx_Codec_Fail(GFX_ERR_NO_MEMORY, kSite, "no memory to decode the JPEG");
    if (!RunDecode(job)) {
        bool ok;
        if (job->tooLarge)
            ok = Gfx_Codec_Fail(GFX_ERR_BAD_DATA, kSite,
                                "the JPEG claims %u x %u pixels, more than its %zu bytes can hold or more than "
                                "Quillory loads",
                                job->cinfo.image_width, job->cinfo.image_height, size);
        else
            ok = Gfx_Codec_Fail(GFX_ERR_BAD_DATA, kSite, "damaged or unsupported JPEG (%s)", job->err.message);
        DeleteJob(job);
        return ok;
    }
    image.width = job->width;
    image.height = job->height;
    image.format = job->format;
    image.bpp = job->format == GFX_FMT_ARGB8888 ? 32 : (job->format == GFX_FMT_CH8 ? 8 : 24);
    image.pitch = image.rowBytes = job->rowBytes;
    image.data = job->pixels;
    image.dataSize = job->rowBytes * job->height;
    Mem_AddUsage(image.dataSize);
    job->pixels = nullptr;
    DeleteJob(job);
    return true;
}

bool Gfx_Jpeg_Describe(const std::uint8_t* data, std::size_t size, Gfx_ImageFileInfo& info) {
    DecodeJob* job = NewJob(data, size, GFX_FMT_NONE, Stage::Header);
    if (!job) return Gfx_Codec_Fail(GFX_ERR_NO_MEMORY, kSite, "no memory to read the JPEG");
    if (!RunDecode(job)) {
        const bool ok = Gfx_Codec_Fail(GFX_ERR_BAD_DATA, kSite, "damaged JPEG header (%s)", job->err.message);
        DeleteJob(job);
        return ok;
    }
    const jpeg_decompress_struct& c = job->cinfo;
    info.width = c.image_width;
    info.height = c.image_height;
    char sampling[32] = "";
    if (c.num_components == 3 && c.comp_info)
        std::snprintf(sampling, sizeof sampling, ", sampling %dx%d,%dx%d,%dx%d", c.comp_info[0].h_samp_factor,
                      c.comp_info[0].v_samp_factor, c.comp_info[1].h_samp_factor, c.comp_info[1].v_samp_factor,
                      c.comp_info[2].h_samp_factor, c.comp_info[2].v_samp_factor);
    std::snprintf(info.variant, sizeof info.variant, "%s, %d-bit %s, %d component%s%s", ProcessName(c),
                  c.data_precision, ColourSpaceName(c.jpeg_color_space), c.num_components,
                  c.num_components == 1 ? "" : "s", sampling);
    DeleteJob(job);
    return true;
}

bool Gfx_Jpeg_Encode(const C_Image& image, std::FILE* file, std::int32_t quality) {
    auto* job = static_cast<EncodeJob*>(std::calloc(1, sizeof(EncodeJob)));
    if (!job) return Gfx_Codec_Fail(GFX_ERR_NO_MEMORY, kSaveSite, "no memory to encode the JPEG");
    job->image = &image;
    job->file = file;
    job->quality = quality;
    SetUpErrors(job->err);
    job->cinfo.err = &job->err.pub;
    bool ok = RunEncode(job);
    if (!ok) ok = Gfx_Codec_Fail(GFX_ERR_OPEN_WRITE, kSaveSite, "the JPEG encoder failed (%s)", job->err.message);
    if (job->created) jpeg_destroy_compress(&job->cinfo);
    std::free(job);
    return ok;
}
