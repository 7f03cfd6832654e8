#include <dlfcn.h>

#include "foxpro/platform/shared_library.h"

namespace quorvel::foxpro::platform {

namespace {

class PosixLibrary : public SharedLibrary {
  public:
    explicit PosixLibrary(void* handle) : handle_(handle) {}
    ~PosixLibrary() override { dlclose(handle_); }
    void* symbol(const char* name) const override { return dlsym(handle_, name); }

  private:
    void* handle_;
};

}  // namespace

std::unique_ptr<SharedLibrary> loadSharedLibrary(const std::vector<std::string>& names,
                                                 std::string& problem) {
    for (const auto& name : names) {
        if (void* handle = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL))
            return std::make_unique<PosixLibrary>(handle);
        if (const char* text = dlerror()) problem = text;
    }
    return nullptr;
}

}  // namespace quorvel::foxpro::platform
