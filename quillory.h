// Quillory: software 2D graphics. Include this one header to get the whole
// public interface.
#pragma once

// core
#include "core/buffer.h"
#include "core/error.h"
#include "core/list.h"
#include "core/memory.h"
#include "core/object.h"
#include "core/parallel.h"
#include "core/simd.h"
#include "core/stream.h"
#include "core/string.h"
#include "core/version.h"

// math
#include "math/color.h"
#include "math/noise.h"
#include "math/random.h"
#include "math/scalar.h"
#include "math/shapes.h"
#include "math/tables.h"
#include "math/vector.h"

// image
#include "image/convert.h"
#include "image/format.h"
#include "image/image.h"
#include "image/image_io.h"
#include "image/png.h"
#include "image/writers.h"

// surface
#include "surface/blit.h"
#include "surface/blit_kernel.h"
#include "surface/draw_params.h"
#include "surface/fill.h"
#include "surface/primitives.h"
#include "surface/surface.h"
#include "surface/surface_io.h"

// text
#include "text/font.h"
#include "text/text_draw.h"
#include "text/truetype.h"

// platform
#include "platform/backend.h"
#include "platform/canvas.h"
#include "platform/headless.h"
#include "platform/timing.h"
#include "platform/window.h"
