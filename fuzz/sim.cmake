# Fuzz targets of sim/: the scenario parser and the record reader.
lane_add_fuzz(fuzz_scenario ${CMAKE_CURRENT_SOURCE_DIR}/ScenarioFuzz.cpp lanesim_core)
# lanesim's carousel E-Box and UPS: the requests the utility writes to ports 4, 3 and 6.
lane_add_fuzz(fuzz_ebox_requests ${CMAKE_CURRENT_SOURCE_DIR}/EBoxRequestsFuzz.cpp lanesim_core)
# lanesim's bill acceptor: the requests the programs write to it on the cash port.
lane_add_fuzz(fuzz_bill_acceptor ${CMAKE_CURRENT_SOURCE_DIR}/BillAcceptorFuzz.cpp lanesim_core)
# lanesim's Fujitsu bill dispenser: the requests the utility writes to it on the cash port.
lane_add_fuzz(fuzz_fujitsu_dispenser ${CMAKE_CURRENT_SOURCE_DIR}/FujitsuDispenserFuzz.cpp lanesim_core)
