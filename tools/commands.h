// The subcommands, one function each; quillory.cpp lists them in its table.
#pragma once

#include <string>
#include <vector>

#include "tools/tool.h"

int Tool_Info(const Tool_Command& self, const std::vector<std::string>& args);
int Tool_Convert(const Tool_Command& self, const std::vector<std::string>& args);
int Tool_Font(const Tool_Command& self, const std::vector<std::string>& args);
int Tool_RenderText(const Tool_Command& self, const std::vector<std::string>& args);
int Tool_DemoAssets(const Tool_Command& self, const std::vector<std::string>& args);
