#pragma once

// POSIX side of file_stamp.h, for the platform's own files.
#include <sys/stat.h>

#include "foxpro/platform/file_stamp.h"

namespace quorvel::foxpro::platform {

FileStamp stampOfStat(const struct stat& st);

}  // namespace quorvel::foxpro::platform
