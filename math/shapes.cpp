#include "math/shapes.h"

#include "core/stream.h"
#include "math/internal/record.h"

#include "math/internal/exact_float.h"  // last: it changes how the code below compiles

namespace {

constexpr const char* kFrame = "C_Frame";
constexpr const char* kRect = "C_Rect";
constexpr const char* kCircle = "C_Circle";
constexpr const char* kBox = "C_Box";

// (max - min) / 2 + min, each step rounded to float.
float CentreOf(float low, float high) {
    const float half = (high - low) / 2.0f;
    return half + low;
}

}  // namespace

// ---- C_Frame ----

C_Frame::C_Frame(const std::int32_t c[4]) {
    if (!c) return;
    x0 = c[0];
    y0 = c[1];
    x1 = c[2];
    y1 = c[3];
}

bool C_Frame::LoadFromStream(C_Stream* stream, std::uint32_t) {
    if (!Gfx_ReadClassTag(stream, GFX_CLASS_FRAME, kFrame)) return false;
    C_Frame f;
    if (!math_record::ReadFields(stream, f.x0, f.y0, f.x1, f.y1, f.posAlign, f.sizeAlign))
        return math_record::FailTruncated(kFrame);
    *this = f;
    return true;
}

bool C_Frame::SaveToStream(C_Stream* stream, std::uint32_t) {
    if (Gfx_WriteClassTag(stream, GFX_CLASS_FRAME) &&
        math_record::WriteFields(stream, x0, y0, x1, y1, posAlign, sizeAlign))
        return true;
    return math_record::FailSummary(kFrame, "SaveToStream");
}

// ---- C_Rect ----

C_Rect::C_Rect(const float c[4]) {
    if (!c) return;
    x0 = c[0];
    y0 = c[1];
    x1 = c[2];
    y1 = c[3];
}

bool C_Rect::LoadFromStream(C_Stream* stream, std::uint32_t) {
    if (!Gfx_ReadClassTag(stream, GFX_CLASS_RECT, kRect)) return false;
    C_Rect r;
    if (!math_record::ReadFields(stream, r.x0, r.y0, r.x1, r.y1, r.posAlign, r.sizeAlign))
        return math_record::FailTruncated(kRect);
    *this = r;
    return true;
}

bool C_Rect::SaveToStream(C_Stream* stream, std::uint32_t) {
    if (Gfx_WriteClassTag(stream, GFX_CLASS_RECT) &&
        math_record::WriteFields(stream, x0, y0, x1, y1, posAlign, sizeAlign))
        return true;
    return math_record::FailSummary(kRect, "SaveToStream");
}

// ---- C_Circle ----

bool C_Circle::LoadFromStream(C_Stream* stream, std::uint32_t flags) {
    if (!Gfx_ReadClassTag(stream, GFX_CLASS_CIRCLE, kCircle)) return false;
    C_Vector2D c;
    if (!c.LoadFromStream(stream, flags)) return math_record::FailSummary(kCircle, "LoadFromStream");
    float r;
    if (!math_record::ReadFields(stream, r)) return math_record::FailTruncated(kCircle);
    centre = c;
    radius = r;
    return true;
}

bool C_Circle::SaveToStream(C_Stream* stream, std::uint32_t flags) {
    if (Gfx_WriteClassTag(stream, GFX_CLASS_CIRCLE) && centre.SaveToStream(stream, flags) &&
        math_record::WriteFields(stream, radius))
        return true;
    return math_record::FailSummary(kCircle, "SaveToStream");
}

// ---- C_Box ----

bool C_Box::Intersect(const C_Box& other, C_Vector3D* out) const {
    const bool overlap = max.x > other.min.x && min.x < other.max.x &&  //
                         max.y > other.min.y && min.y < other.max.y &&  //
                         max.z > other.min.z && min.z < other.max.z;
    if (!overlap) return false;
    if (!out) return true;
    const bool otherRight = CentreOf(other.min.x, other.max.x) > CentreOf(min.x, max.x);
    const bool otherBelow = CentreOf(other.min.y, other.max.y) > CentreOf(min.y, max.y);
    const bool otherBehind = CentreOf(other.min.z, other.max.z) > CentreOf(min.z, max.z);
    out->Set(otherRight ? other.min.x - max.x : other.max.x - min.x,
             otherBelow ? max.y - other.min.y : other.max.y - min.y,
             otherBehind ? other.min.z - max.z : other.max.z - min.z);
    return true;
}

bool C_Box::LoadFromStream(C_Stream* stream, std::uint32_t flags) {
    if (!Gfx_ReadClassTag(stream, GFX_CLASS_BOX, kBox)) return false;
    C_Vector3D low;
    C_Vector3D high;
    if (!low.LoadFromStream(stream, flags) || !high.LoadFromStream(stream, flags))
        return math_record::FailSummary(kBox, "LoadFromStream");
    min = low;
    max = high;
    return true;
}

bool C_Box::SaveToStream(C_Stream* stream, std::uint32_t flags) {
    if (Gfx_WriteClassTag(stream, GFX_CLASS_BOX) && min.SaveToStream(stream, flags) && max.SaveToStream(stream, flags))
        return true;
    return math_record::FailSummary(kBox, "SaveToStream");
}
