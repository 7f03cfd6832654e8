// What a map does alike on every system; mapping, giving pages back and
// unmapping are in each system's file.
#include "foxpro/platform/mapped_file.h"

#include "foxpro/foxpro_error.h"

namespace quorvel::foxpro::platform {

void MappedFile::throwChanged() const {
    throw FoxProError(kErrorFile, file_.displayName() + " changed while it was being read");
}

void MappedFile::checkUnchanged() const {
    checkFault();
    if (file_.changedSinceOpen()) throwChanged();
}

void MappedFile::walkedTo(std::size_t offset) {
    if (offset < walkMark_) {
        walkMark_ = offset - offset % pageSize();
    } else if (offset - walkMark_ >= kReleaseStep) {
        release(walkMark_, offset);
        walkMark_ = offset - offset % pageSize();
        checkUnchanged();
    }
}

}  // namespace quorvel::foxpro::platform
