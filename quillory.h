// Quillory: software 2D graphics. Include this one header to get the whole
// public interface.
#pragma once

// core
#include "core/buffer.h"
#include "core/error.h"
#include "core/list.h"
#include "core/memory.h"
#include "core/object.h"
#include "core/stream.h"
#include "core/string.h"

// math
#include "math/color.h"

// image
#include "image/format.h"
#include "image/image.h"

// text
#include "text/font.h"
#include "text/text_draw.h"
#include "text/truetype.h"
