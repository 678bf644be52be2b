# Fuzz targets of platform/: the ".reg" hive reader and the initialisation-file reader.
lane_add_fuzz(fuzz_reg_reader ${CMAKE_CURRENT_SOURCE_DIR}/RegReaderFuzz.cpp lane_platform)
lane_add_fuzz(fuzz_ini_reader ${CMAKE_CURRENT_SOURCE_DIR}/IniReaderFuzz.cpp lane_platform)
# The command interpreter's batch-line reader: the update batch files are outside bytes.
lane_add_fuzz(fuzz_batch_line ${CMAKE_CURRENT_SOURCE_DIR}/BatchLineFuzz.cpp lane_platform)
