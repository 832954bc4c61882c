// Failure reports of the window and the canvas read back from the error
// record: the specific code and message, then the summary line.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "error_case.h"
#include "quillory.h"
#include "recorder.h"

namespace {

constexpr std::int32_t kNoSuchFormat = 99;

class ErrorPaths : public HeadlessTest {};

TEST_F(ErrorPaths, WindowAndCanvasReportUnusablePicturesAndSizes) {
    C_Window window;
    MakeDemoWindow(window);
    C_Image unknown;
    ASSERT_TRUE(unknown.CreateEmpty(5, 2, GFX_FMT_CH8, GFX_FMT_NONE));
    unknown.format = kNoSuchFormat;
    const C_Frame area(0, 0, 800, 600);
    C_Image wide;
    ASSERT_TRUE(wide.CreateEmpty(5, 2, GFX_FMT_ARGB8888, GFX_FMT_NONE));
    C_Canvas canvas;

    const std::vector<ErrorCase> cases = {
        {"shape mask of an unknown format",
         [&] {
             window.SetRegionMask(&unknown);
             return false;  // the shape change itself returns nothing
         },
         GFX_ERR_FORMAT, "C_Window->Refresh", "C_Window->Refresh"},
        {"shape mask of 32-bit pixels",
         [&] {
             window.SetRegionMask(&wide);
             return false;
         },
         GFX_ERR_FORMAT, "C_Window->Refresh", "C_Window->Refresh"},
        {"no picture to present", [&] { return window.Present(nullptr, C_Vector2Di(0, 0)); }, GFX_ERR_NULL_ARG,
         "C_Window::Present{image}", "C_Window::Present"},
        {"picture of an unknown format", [&] { return window.Present(&unknown, C_Vector2Di(0, 0)); }, GFX_ERR_FORMAT,
         "C_Window::Present{image->format}", "C_Window::Present"},
        {"canvas of no width",
         [&] {
             return canvas.Setup(C_CanvasTarget{&window, &area}, 0, 16, 0) && canvas.CreateTarget();
         },
         GFX_ERR_BAD_DATA, "C_Canvas::CreateTarget{width}", "C_Canvas::CreateTarget"},
    };
    for (const ErrorCase& c : cases) ExpectReported(c);

    window.SetRegionMask(nullptr);
    unknown.format = GFX_FMT_CH8;
    EXPECT_EQ(canvas.surface, nullptr);  // the refused target was not made
}

}  // namespace
