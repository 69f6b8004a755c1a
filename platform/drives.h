#pragma once
// Reads the machine's mounts, block devices and volume labels.
#include "core/settings/profile.h"
#include "core/view/drives.h"

namespace platform {

SystemFacts readSystemFacts();

// The drives of this machine, with letters remembered in the profile's
// "DriveLetters" section (letter → identity, and when it was last seen) so they
// stay the same across runs. The profile is written at once only when a volume
// gets a letter; the times seen are left for the next save.
std::vector<Drive> detectDrives(Profile& profile);
// The same on given facts at the time now (seconds since 1970, UTC).
std::vector<Drive> detectDrives(Profile& profile, const SystemFacts& facts, qint64 now);

}  // namespace platform
