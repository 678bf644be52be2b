# Fuzz targets of the link's readers: wire packets, the read paths' packet checks and the driver
# protocol's frames.
lane_add_fuzz(fuzz_wire_packet ${CMAKE_CURRENT_SOURCE_DIR}/WirePacketFuzz.cpp lane_link)
