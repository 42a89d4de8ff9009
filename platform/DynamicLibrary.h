#pragma once

#include <QString>

// Loading a shared library at run time and looking up its functions, the way
// the program reaches libraries it must work without (the USB library).
namespace DynamicLibrary {

using Handle = void*;

// The library file, found as the system finds libraries (LD_LIBRARY_PATH, the
// cache, the default folders) unless the name holds a slash. Every symbol is
// bound at once and kept to this library. nullptr when it can't be loaded.
Handle Load(const QString& fileName);

// The address the library exports under name; nullptr when it exports none.
void* Symbol(Handle library, const char* name);

// Gives the library back; nothing for nullptr.
void Unload(Handle library);

}  // namespace DynamicLibrary
