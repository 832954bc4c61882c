// Quillory: software 2D graphics. Include this one header to get the whole
// public interface.
#pragma once

// core
#include "core/error.h"
#include "core/memory.h"
#include "core/object.h"
#include "core/stream.h"

// math
#include "math/color.h"

// image
#include "image/format.h"
#include "image/image.h"
#include "image/convert.h"
