// The "files" table: loading 1920×1080 pictures through Gfx_Image_LoadFile.
// JPEG decoding is timed beside libjpeg-turbo called directly on the same
// file (read into memory and decoded to the same BGR rows), in alternating
// rounds; uncompressed BMP and TGA are held to a throughput of output pixel
// bytes instead, as there is no peer worth the name.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench_table.h"
#include "quillory.h"

#if defined(QUILLORY_HAVE_JPEG)
// jpeglib.h uses size_t and FILE without including their headers.
#include <cstddef>

#include <jpeglib.h>
#endif

namespace {

constexpr std::uint32_t kW = 1920, kH = 1080;
constexpr int kRounds = 15;
constexpr double kRoundSeconds = 0.05;
using Clock = std::chrono::steady_clock;

double Seconds(const std::function<void()>& fn, int calls) {
    const auto t0 = Clock::now();
    for (int i = 0; i < calls; ++i) fn();
    return std::chrono::duration<double>(Clock::now() - t0).count() / calls;
}

int CallsFor(const std::function<void()>& fn) {
    fn();
    return std::max(1, static_cast<int>(kRoundSeconds / std::max(Seconds(fn, 1), 1e-7)));
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Medians of alternating rounds of `ours` and `theirs` (null: ours alone).
std::pair<double, double> Time(const std::function<void()>& ours, const std::function<void()>& theirs) {
    const int a = CallsFor(ours), b = theirs ? CallsFor(theirs) : 0;
    std::vector<double> x, y;
    for (int r = 0; r < kRounds; ++r) {
        x.push_back(Seconds(ours, a));
        if (theirs) y.push_back(Seconds(theirs, b));
    }
    return {Median(x), theirs ? Median(y) : 0.0};
}

std::string TempFile(const char* name) {
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir && *dir ? dir : "/tmp") + "/quillory-bench-" + name;
}

// A photo-like picture: smooth gradients with a little deterministic noise,
// so the JPEG has the size and entropy of a real photograph.
C_Image Photo() {
    C_Image image;
    image.CreateEmpty(kW, kH, GFX_FMT_ARGB8888, GFX_FMT_NONE);
    std::uint32_t seed = 12345;
    for (std::uint32_t y = 0; y < kH; ++y) {
        std::uint8_t* row = image.Row(y);
        for (std::uint32_t x = 0; x < kW; ++x) {
            seed = seed * 1103515245u + 12345u;
            const std::uint32_t noise = (seed >> 16) & 15;
            row[4 * x] = static_cast<std::uint8_t>((x * 255 / kW + noise) & 0xFF);
            row[4 * x + 1] = static_cast<std::uint8_t>(((x + y) * 255 / (kW + kH) + noise) & 0xFF);
            row[4 * x + 2] = static_cast<std::uint8_t>((y * 255 / kH + noise) & 0xFF);
            row[4 * x + 3] = 0xFF;
        }
    }
    return image;
}

void Put16(std::FILE* f, std::uint32_t v) {
    std::fputc(static_cast<int>(v & 0xFF), f);
    std::fputc(static_cast<int>((v >> 8) & 0xFF), f);
}
void Put32(std::FILE* f, std::uint32_t v) {
    Put16(f, v & 0xFFFF);
    Put16(f, v >> 16);
}

// An uncompressed 24-bit BMP (bottom-up rows, as most files are).
bool WriteBmp(const C_Image& image, const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const std::uint32_t rowBytes = (image.width * 3 + 3) & ~3u;
    Put16(f, 0x4D42);
    Put32(f, 54 + rowBytes * image.height);
    Put32(f, 0);
    Put32(f, 54);
    Put32(f, 40);
    Put32(f, image.width);
    Put32(f, image.height);
    Put16(f, 1);
    Put16(f, 24);
    for (int i = 0; i < 6; ++i) Put32(f, i == 1 ? rowBytes * image.height : 0);
    std::vector<std::uint8_t> row(rowBytes, 0);
    for (std::uint32_t y = image.height; y-- > 0;) {
        for (std::uint32_t x = 0; x < image.width; ++x)
            for (int k = 0; k < 3; ++k) row[3 * x + k] = image.Row(y)[4 * x + k];
        std::fwrite(row.data(), 1, row.size(), f);
    }
    return std::fclose(f) == 0;
}

// An uncompressed 32-bit TGA.
bool WriteTga(const C_Image& image, const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const std::uint8_t header[12] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    std::fwrite(header, 1, sizeof header, f);
    Put16(f, image.width);
    Put16(f, image.height);
    std::fputc(32, f);
    std::fputc(8, f);
    for (std::uint32_t y = image.height; y-- > 0;) std::fwrite(image.Row(y), 1, image.rowBytes, f);
    return std::fclose(f) == 0;
}

#if defined(QUILLORY_HAVE_JPEG)
// libjpeg-turbo on its own, as a program would call it to load a picture:
// the file read into a new buffer, decoded to BGR rows in a new buffer.
void DecodeDirectly(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return;
    std::fseek(f, 0, SEEK_END);
    const auto size = static_cast<std::size_t>(std::ftell(f));
    std::fseek(f, 0, SEEK_SET);
    std::unique_ptr<std::uint8_t[]> file(new std::uint8_t[size]);
    const std::size_t got = std::fread(file.get(), 1, size, f);
    std::fclose(f);
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, file.get(), static_cast<unsigned long>(got));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(&cinfo);
    const std::size_t rowBytes = std::size_t{cinfo.output_width} * 3;
    std::unique_ptr<std::uint8_t[]> pixels(new std::uint8_t[rowBytes * cinfo.output_height]);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW rows[16];
        const std::uint32_t n = std::min<std::uint32_t>(16, cinfo.output_height - cinfo.output_scanline);
        for (std::uint32_t i = 0; i < n; ++i) rows[i] = pixels.get() + (cinfo.output_scanline + i) * rowBytes;
        jpeg_read_scanlines(&cinfo, rows, n);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
}
#endif

// Processor time of the calling thread: on a shared machine the throughput
// rows are measured in it, as wall time there mostly measures the neighbours.
double ThreadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

BenchRow Load(const char* name, const std::string& path, std::int32_t format, double gbTarget) {
    C_Image image;
    auto load = [&] { Gfx_Image_LoadFile(&image, path.c_str(), format); };
    const int calls = CallsFor(load);
    std::vector<double> cpu;
    for (int r = 0; r < kRounds; ++r) {
        const double t0 = ThreadSeconds();
        for (int i = 0; i < calls; ++i) load();
        cpu.push_back((ThreadSeconds() - t0) / calls);
    }
    BenchRow row;
    row.name = name;
    row.ours = Median(cpu);
    row.bytes = static_cast<double>(image.rowBytes) * image.height;
    row.minGBs = gbTarget;
    return row;
}

}  // namespace

// The table's rows (the workloads whose name contains `only`, all when empty).
std::vector<BenchRow> Bench_FilesRows(const std::string& only) {
    auto wanted = [&](const char* name) { return only.empty() || std::string(name).find(only) != std::string::npos; };
    if (!wanted("JPEG decode") && !wanted("BMP 24-bit") && !wanted("TGA 32-bit")) return {};
    const C_Image photo = Photo();
    const std::string jpg = TempFile("photo.jpg"), bmp = TempFile("photo.bmp"), tga = TempFile("photo.tga");
    if (!Gfx_Image_SaveFile(&photo, jpg.c_str(), 90) || !WriteBmp(photo, bmp) || !WriteTga(photo, tga)) {
        std::fprintf(stderr, "files: cannot write the test files: %s\n", Gfx_GetErrorReason());
        BenchRow failed;
        failed.name = "files (the test files cannot be written)";
        return {failed};
    }
    std::vector<BenchRow> rows;
#if defined(QUILLORY_HAVE_JPEG)
    if (wanted("JPEG decode")) {
        C_Image image;
        auto [ours, peer] =
            Time([&] { Gfx_Image_LoadFile(&image, jpg.c_str(), GFX_FMT_NONE); }, [&] { DecodeDirectly(jpg); });
        rows.push_back({"JPEG decode (q90, 4:2:0)", "libjpeg-turbo directly", ours, peer, 1.15});
    }
#endif
    if (wanted("BMP 24-bit")) rows.push_back(Load("BMP 24-bit uncompressed", bmp, GFX_FMT_NONE, 1.0));
    if (wanted("TGA 32-bit")) rows.push_back(Load("TGA 32-bit uncompressed", tga, GFX_FMT_NONE, 1.0));
    if (wanted("BMP 24-bit to ARGB8888")) rows.push_back(Load("BMP 24-bit to ARGB8888", bmp, GFX_FMT_ARGB8888, 1.0));
    std::remove(jpg.c_str());
    std::remove(bmp.c_str());
    std::remove(tga.c_str());
    return rows;
}
