# Fuzz targets, grouped by the area whose reader they drive; corpus in corpus/<target name>/.
foreach(area platform sim monitor link moxtel installer)
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${area}.cmake)
        include(${CMAKE_CURRENT_SOURCE_DIR}/${area}.cmake)
    endif()
endforeach()
# The command lines of the utility, the monitor, lanereg and lanesim: update scripts type them.
lane_add_fuzz(fuzz_command_lines ${CMAKE_CURRENT_SOURCE_DIR}/CommandLinesFuzz.cpp moxtel_core
              tavrik_core lanesim_core lane_regtool)
