#include <windows.h>

#include "foxpro/platform/shared_library.h"

namespace quorvel::foxpro::platform {

namespace {

class WindowsLibrary : public SharedLibrary {
  public:
    explicit WindowsLibrary(HMODULE module) : module_(module) {}
    ~WindowsLibrary() override { FreeLibrary(module_); }
    void* symbol(const char* name) const override {
        return reinterpret_cast<void*>(GetProcAddress(module_, name));
    }

  private:
    HMODULE module_;
};

}  // namespace

std::unique_ptr<SharedLibrary> loadSharedLibrary(const std::vector<std::string>& names,
                                                 std::string& problem) {
    for (const auto& name : names) {
        if (HMODULE module = LoadLibraryA(name.c_str()))
            return std::make_unique<WindowsLibrary>(module);
        problem = name + " not found";
    }
    return nullptr;
}

}  // namespace quorvel::foxpro::platform
