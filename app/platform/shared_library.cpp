#include "platform/shared_library.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <link.h>
#endif

namespace ksx4 {
namespace {

#if defined(_WIN32)
std::string lastErrorText() {
    const DWORD code = GetLastError();
    char* text = nullptr;
    FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string result = text ? text : "error " + std::to_string(code);
    if (text) LocalFree(text);
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r')) result.pop_back();
    return result;
}
#else
std::string lastErrorText() {
    const char* text = dlerror();
    return text ? text : "unknown loader error";
}
#endif

}  // namespace

SharedLibrary::~SharedLibrary() {
    // The library stays loaded: its exports may still be referenced by callers
    // that outlive this object, and the link library expects to stay attached
    // for the whole run.
}

std::string SharedLibrary::fileNameFor(const std::string& baseName) {
#if defined(_WIN32)
    return baseName + ".dll";
#elif defined(__APPLE__)
    return "lib" + baseName + ".dylib";
#else
    return "lib" + baseName + ".so";
#endif
}

bool SharedLibrary::load(const std::string& fileNameOrPath) {
#if defined(_WIN32)
    handle_ = reinterpret_cast<void*>(LoadLibraryA(fileNameOrPath.c_str()));
#else
    handle_ = dlopen(fileNameOrPath.c_str(), RTLD_NOW | RTLD_LOCAL);
#endif
    if (!handle_) {
        error_ = lastErrorText();
        return false;
    }
    error_.clear();
    return true;
}

bool SharedLibrary::attachLoaded(const std::string& fileName) {
#if defined(_WIN32)
    handle_ = reinterpret_cast<void*>(GetModuleHandleA(fileName.c_str()));
#else
    handle_ = dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NOLOAD);
#endif
    if (!handle_) error_ = fileName + " is not loaded";
    return handle_ != nullptr;
}

std::string SharedLibrary::path() const {
    if (!handle_) return {};
#if defined(_WIN32)
    char path[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameA(static_cast<HMODULE>(handle_), path, MAX_PATH);
    return std::string(path, length);
#else
    link_map* map = nullptr;
    if (dlinfo(handle_, RTLD_DI_LINKMAP, &map) != 0 || !map || !map->l_name) return {};
    return map->l_name;
#endif
}

void* SharedLibrary::symbol(const char* name) {
    if (!handle_) return nullptr;
#if defined(_WIN32)
    void* address = reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
#else
    dlerror();
    void* address = dlsym(handle_, name);
#endif
    if (!address) error_ = lastErrorText();
    return address;
}

}  // namespace ksx4
