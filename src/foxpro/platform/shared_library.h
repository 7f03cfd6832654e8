#pragma once

#include <memory>
#include <string>
#include <vector>

namespace quorvel::foxpro::platform {

// A C library loaded while the program runs, so that the program starts and
// works without it and says which library it lacks when a feature needs it.
class SharedLibrary {
  public:
    virtual ~SharedLibrary() = default;
    // The address of a function of the library, or nullptr when it has none.
    virtual void* symbol(const char* name) const = 0;
    // Sets fn to the library's function of that name; false when it has none.
    template <typename Fn>
    bool bind(Fn*& fn, const char* name) const {
        fn = reinterpret_cast<Fn*>(symbol(name));
        return fn != nullptr;
    }
};

// Loads the first of the file names (libsqlite3.so.0, ...) that the system
// finds; nullptr when none is found, with what the system said in problem.
std::unique_ptr<SharedLibrary> loadSharedLibrary(const std::vector<std::string>& names,
                                                 std::string& problem);

}  // namespace quorvel::foxpro::platform
