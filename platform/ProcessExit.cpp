#include "ProcessExit.h"

#include <cstdio>
#include <cstdlib>

void RealProcessExit::Exit(int code) {
    std::fflush(nullptr);
    std::exit(code);
}
