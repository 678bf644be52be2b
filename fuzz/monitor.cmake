# Fuzz targets of the monitor's readers.
lane_add_fuzz(fuzz_monitor_stream ${CMAKE_CURRENT_SOURCE_DIR}/MonitorStreamFuzz.cpp tavrik_core)
# The reader's driver-mode checks of remote-monitor packets, and their hand-over to the parser.
lane_add_fuzz(fuzz_remote_monitor ${CMAKE_CURRENT_SOURCE_DIR}/RemoteMonitorFuzz.cpp tavrik_core)
# Both acceptor decoders with arbitrary messages, settings and ticks. The decoders' inputs are
# long message runs: a quarter of the usual replay keeps CI's share small.
set(fuzz_acceptor_decoders_REPLAY_RUNS 5000)
lane_add_fuzz(fuzz_acceptor_decoders ${CMAKE_CURRENT_SOURCE_DIR}/AcceptorDecodersFuzz.cpp tavrik_core)
# The coin and bill dispenser decoders, the Fujitsu dispenser and the cash pocket.
set(fuzz_dispenser_decoders_REPLAY_RUNS 5000)
lane_add_fuzz(fuzz_dispenser_decoders ${CMAKE_CURRENT_SOURCE_DIR}/DispenserDecodersFuzz.cpp tavrik_core)
# The window's keys: menu, dialogs and path prompt on screens of any size.
# Every input draws whole screens: a tenth of the usual replay keeps CI's share small.
set(fuzz_window_keys_REPLAY_RUNS 2000)
lane_add_fuzz(fuzz_window_keys ${CMAKE_CURRENT_SOURCE_DIR}/WindowKeysFuzz.cpp tavrik_core)
# The monitor's stored state as found on a lane: settings, statistics and histories from any hive
# text, and the report and metrics made from them.
# Every input is a hive file written and read: a twentieth of the usual replay.
set(fuzz_monitor_hive_REPLAY_RUNS 1000)
lane_add_fuzz(fuzz_monitor_hive ${CMAKE_CURRENT_SOURCE_DIR}/MonitorHiveFuzz.cpp tavrik_core)
