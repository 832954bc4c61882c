// Helpers of the tool tests: running the built program and reading what it
// left behind.
#pragma once

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "test_support.h"

struct ToolResult {
    int code;
    std::string out;
    std::string err;
};

inline std::string Quote(const std::string& arg) {
    std::string quoted = "'";
    for (char c : arg) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// The program's command line with `args`, each passed as one argument.
inline std::string ToolCommand(const std::vector<std::string>& args) {
    std::string command = Quote(QUILLORY_TOOL_PATH);
    for (const std::string& arg : args) command += " " + Quote(arg);
    return command;
}

// Runs a shell command, capturing its status and both outputs.
inline ToolResult RunCommand(const std::string& command) {
    const std::string out = Quillory_TempPath("stdout.txt");
    const std::string err = Quillory_TempPath("stderr.txt");
    const int status = std::system((command + " >" + Quote(out) + " 2>" + Quote(err)).c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Quillory_ReadFile(out), Quillory_ReadFile(err)};
}

inline ToolResult RunTool(const std::vector<std::string>& args) { return RunCommand(ToolCommand(args)); }

inline bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

inline void WriteText(const std::string& path, const std::string& text) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
}

// Files in the scratch folder whose names mention this test's file `name`:
// the file itself and any temporary file written on its way.
inline std::vector<std::string> FilesNamed(const std::string& name) {
    const std::string path = Quillory_TempPath(name);
    const std::string base = path.substr(path.find_last_of('/') + 1);
    std::vector<std::string> found;
    if (DIR* dir = opendir(QUILLORY_TEST_TMP_DIR)) {
        while (const dirent* entry = readdir(dir))
            if (Contains(entry->d_name, base)) found.push_back(entry->d_name);
        closedir(dir);
    }
    return found;
}
