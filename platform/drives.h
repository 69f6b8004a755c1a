#pragma once
// Reads the machine's mounts, block devices and volume labels.
#include "core/settings/profile.h"
#include "core/view/drives.h"

namespace platform {

SystemFacts readSystemFacts();

// The drives of this machine, with letters remembered in the profile's
// "DriveLetters" section (letter → identity) so they stay the same across runs.
std::vector<Drive> detectDrives(Profile& profile);

}  // namespace platform
