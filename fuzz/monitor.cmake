# Fuzz targets of the monitor's readers.
lane_add_fuzz(fuzz_monitor_stream ${CMAKE_CURRENT_SOURCE_DIR}/MonitorStreamFuzz.cpp tavrik_core)
