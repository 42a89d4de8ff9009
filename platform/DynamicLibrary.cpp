#include "platform/DynamicLibrary.h"

#include <dlfcn.h>

namespace DynamicLibrary {

Handle Load(const QString& fileName) {
    return dlopen(fileName.toLocal8Bit().constData(), RTLD_NOW | RTLD_LOCAL);
}

void* Symbol(Handle library, const char* name) {
    if (!library)
        return nullptr;
    return dlsym(library, name);
}

void Unload(Handle library) {
    if (library)
        dlclose(library);
}

}  // namespace DynamicLibrary
