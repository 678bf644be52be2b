# Fuzz targets of the utility's readers: the firmware image files.
lane_add_fuzz(fuzz_firmware_image ${CMAKE_CURRENT_SOURCE_DIR}/FirmwareImageFuzz.cpp moxtel_core)
# The utility's reply loops: received packets of every request of the start-up sequence and of
# the bill acceptor.
lane_add_fuzz(fuzz_module_replies ${CMAKE_CURRENT_SOURCE_DIR}/ModuleRepliesFuzz.cpp moxtel_core)
# The carousel E-Box's and the UPS's reply readers: replies split over packets of every port.
lane_add_fuzz(fuzz_ebox_replies ${CMAKE_CURRENT_SOURCE_DIR}/EBoxRepliesFuzz.cpp moxtel_core)
# The cash devices' replies behind the setting commands: the coin dispenser's configuration
# block and texts, the Fujitsu data block, the cash counting dump.
lane_add_fuzz(fuzz_coin_dispenser_replies ${CMAKE_CURRENT_SOURCE_DIR}/CoinDispenserRepliesFuzz.cpp
              moxtel_core)
# The scale test's stream: reading packets, the EU reply and the noise analysis they feed.
lane_add_fuzz(fuzz_scale_stream ${CMAKE_CURRENT_SOURCE_DIR}/ScaleStreamFuzz.cpp moxtel_core)
# The service menus: a technician's keys and the module's replies at every module version.
set(fuzz_utility_menus_REPLAY_RUNS 2000)
lane_add_fuzz(fuzz_utility_menus ${CMAKE_CURRENT_SOURCE_DIR}/UtilityMenusFuzz.cpp moxtel_core)
