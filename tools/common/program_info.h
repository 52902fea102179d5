// --version for the programs, in the form help2man reads: "NAME (Orbiscope) VERSION".
#pragma once
#include <cstdio>
#include <cstring>

#ifndef ORBISCOPE_VERSION
#define ORBISCOPE_VERSION "unknown"
#endif

namespace orbtools {

// True when the only argument asks for the version (then it is printed).
inline bool AnswerVersion(int argc, char** argv, const char* name) {
    if (argc != 2 || std::strcmp(argv[1], "--version") != 0) return false;
    std::printf("%s (Orbiscope) %s\n", name, ORBISCOPE_VERSION);
    return true;
}

}  // namespace orbtools
