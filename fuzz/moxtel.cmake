# Fuzz targets of the utility's readers: the firmware image files.
lane_add_fuzz(fuzz_firmware_image ${CMAKE_CURRENT_SOURCE_DIR}/FirmwareImageFuzz.cpp moxtel_core)
