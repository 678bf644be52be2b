// The files built into Quillan: the table the build generates from the programs, the firmware
// images and the batch files.
#pragma once

#include <span>

#include "platform/Resource.h"

namespace lane::quillan {

std::span<const platform::ResourceEntry> EmbeddedResourceTable();

}  // namespace lane::quillan
