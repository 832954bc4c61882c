#include "core/object.h"

#include <cstdio>

#include "core/error.h"
#include "core/stream.h"

bool C_Object::LoadFromStream(C_Stream* stream, std::uint32_t) { return stream != nullptr; }

bool C_Object::SaveToStream(C_Stream* stream, std::uint32_t) { return stream != nullptr; }

bool C_Object::LoadFromFile(const char* path, std::uint32_t flags) {
    C_Stream stream;
    if (!path || !stream.OpenFileRead(path)) {
        Gfx_SetError(GFX_ERR_OPEN_READ, 0, 0, "C_Object::LoadFromFile(%s)", path ? path : "(null)");
        return Gfx_FailSummary("C_Object::LoadFromFile");
    }
    const bool ok = LoadFromStream(&stream, flags);
    stream.CloseFile();
    stream.Close();
    return ok;
}

bool C_Object::SaveToFile(const char* path, std::uint32_t) {
    C_Stream stream;
    if (!path || !stream.OpenFileWrite(path)) {
        Gfx_SetError(GFX_ERR_OPEN_WRITE, 0, 0, "C_Object::SaveToFile(%s)", path ? path : "(null)");
        return Gfx_FailSummary("C_Object::SaveToFile");
    }
    bool ok = SaveToStream(&stream, 0);
    ok = stream.CloseFile() && ok;  // a failed flush at close is a failed save
    stream.Close();
    return ok;
}

bool Gfx_ReadClassTag(C_Stream* stream, std::uint16_t classId, const char* className) {
    std::uint16_t tag = 0;  // 0 is no class id
    C_Stream::Read(&tag, 2, 1, stream);
    if (tag == classId) return true;
    char detail[128];
    char site[128];
    std::snprintf(detail, sizeof detail, "%s::LoadFromStream{class_type}", className);
    std::snprintf(site, sizeof site, "%s::LoadFromStream", className);
    return Gfx_Fail(GFX_ERR_BAD_DATA, detail, site);
}

bool Gfx_WriteClassTag(C_Stream* stream, std::uint16_t classId) { return C_Stream::Write(&classId, 2, 1, stream) != 0; }
