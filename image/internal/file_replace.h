// Writing a file so that it appears complete or not at all.
//
// The data go to a temporary file beside the destination (the same folder,
// so the final rename stays on one file system and replaces the destination
// in one step). Only Commit moves it into place; a failure, or an object
// dropped without Commit, removes the temporary file and leaves whatever was
// at the destination untouched.
#pragma once

#include <cstdio>
#include <string>

class C_FileReplace {
public:
    C_FileReplace() = default;
    ~C_FileReplace();
    C_FileReplace(const C_FileReplace&) = delete;
    C_FileReplace& operator=(const C_FileReplace&) = delete;

    // Creates a new, empty temporary file beside `path` and leaves it open
    // for binary writing. False when the folder does not take new files.
    bool Begin(const char* path);
    // The open temporary file (null before Begin, after CloseFile or Commit).
    std::FILE* File() const { return m_file; }
    // The temporary file's name, for writers that open files by name.
    const char* TempPath() const { return m_temp.c_str(); }
    // Closes the temporary file but keeps it; false when buffered data could
    // not be written out.
    bool CloseFile();
    // Closes the temporary file if still open and renames it over the
    // destination. False when closing or renaming fails; the temporary file
    // is then gone and the destination untouched.
    bool Commit();
    // Removes the temporary file; the destination stays as it was.
    void Discard();

private:
    std::string m_path;
    std::string m_temp;
    std::FILE* m_file = nullptr;
    bool m_pending = false;  // a temporary file exists and is ours to remove
};
