// The host's commands that open the library's windows for recordings and pictures.
#pragma once
#include <string>

namespace orbhost {

bool IsDesktopTool(const std::string& command);
int RunDesktopTool(const std::string& command, int argc, char** argv);

}  // namespace orbhost
