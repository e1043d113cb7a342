#pragma once
// Loads a shared library and resolves its symbols: the one place that calls
// the system loader (dlopen on Linux, LoadLibrary on Windows).
#include <string>

namespace ksx4 {

class SharedLibrary {
  public:
    SharedLibrary() = default;
    ~SharedLibrary();
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;

    // The platform's file name for a library base name: "ksx4_com" gives
    // "libksx4_com.so" (Linux) or "ksx4_com.dll" (Windows).
    static std::string fileNameFor(const std::string& baseName);

    // Loads by file name through the system's search order (for a name without
    // a folder: the calling program's RUNPATH among others) or by path.
    // False with the loader's description in error().
    bool load(const std::string& fileNameOrPath);
    // Takes a library that this process has already loaded under the file
    // name, without loading anything. False when none is loaded.
    bool attachLoaded(const std::string& fileName);
    bool isLoaded() const { return handle_ != nullptr; }
    // nullptr when missing; error() then describes why.
    void* symbol(const char* name);
    const std::string& error() const { return error_; }
    // The file the loaded library came from ("" when not loaded).
    std::string path() const;

  private:
    void* handle_ = nullptr;
    std::string error_;
};

}  // namespace ksx4
