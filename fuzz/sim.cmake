# Fuzz targets of sim/: the scenario parser and the record reader.
lane_add_fuzz(fuzz_scenario ${CMAKE_CURRENT_SOURCE_DIR}/ScenarioFuzz.cpp lanesim_core)
# lanesim's bill acceptor: the requests the programs write to it on the cash port.
lane_add_fuzz(fuzz_bill_acceptor ${CMAKE_CURRENT_SOURCE_DIR}/BillAcceptorFuzz.cpp lanesim_core)
