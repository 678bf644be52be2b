# Fuzz targets of sim/: the scenario parser and the record reader.
lane_add_fuzz(fuzz_scenario ${CMAKE_CURRENT_SOURCE_DIR}/ScenarioFuzz.cpp lanesim_core)
