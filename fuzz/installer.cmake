# Fuzz targets of the installer's readers: the module's replies to the firmware version query.
lane_add_fuzz(fuzz_version_reply ${CMAKE_CURRENT_SOURCE_DIR}/VersionReplyFuzz.cpp quillan_core)
