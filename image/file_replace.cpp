#include "image/internal/file_replace.h"

#include <cerrno>
#include <cstdio>
#include <string>

#if defined(_WIN32)
#include <process.h>
#else
#include <unistd.h>
#endif

namespace {

constexpr int kNameAttempts = 100;

unsigned long ProcessId() {
#if defined(_WIN32)
    return static_cast<unsigned long>(_getpid());
#else
    return static_cast<unsigned long>(getpid());
#endif
}

// "<folder>/.<name>.<pid>.<n>.tmp": hidden in listings, unique per process
// and attempt, and in the destination's own folder.
std::string TempName(const std::string& path, unsigned long pid, int attempt) {
    const std::size_t slash = path.find_last_of("/\\");
    const std::size_t nameAt = slash == std::string::npos ? 0 : slash + 1;
    return path.substr(0, nameAt) + "." + path.substr(nameAt) + "." + std::to_string(pid) + "." +
           std::to_string(attempt) + ".tmp";
}

}  // namespace

C_FileReplace::~C_FileReplace() { Discard(); }

bool C_FileReplace::Begin(const char* path) {
    Discard();
    if (!path || !*path) return false;
    m_path = path;
    const unsigned long pid = ProcessId();
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        m_temp = TempName(m_path, pid, attempt);
        // "x": create only; never truncate a file someone else owns.
        errno = 0;
        m_file = std::fopen(m_temp.c_str(), "wbx");
        if (m_file) {
            m_pending = true;
            return true;
        }
        if (errno != EEXIST) break;
    }
    m_temp.clear();
    return false;
}

bool C_FileReplace::CloseFile() {
    if (!m_file) return true;
    const bool ok = std::fclose(m_file) == 0;
    m_file = nullptr;
    return ok;
}

bool C_FileReplace::Commit() {
    if (!m_pending) return false;
    if (!CloseFile() || std::rename(m_temp.c_str(), m_path.c_str()) != 0) {
        Discard();
        return false;
    }
    m_pending = false;
    m_temp.clear();
    return true;
}

void C_FileReplace::Discard() {
    CloseFile();
    if (m_pending) std::remove(m_temp.c_str());
    m_pending = false;
    m_temp.clear();
}
