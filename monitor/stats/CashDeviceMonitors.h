// The monitors of the four cash devices: the acceptors' and the dispensers' decoders.
#pragma once

#include "monitor/decoders/BillAcceptorMonitor.h"
#include "monitor/decoders/BillDispenserMonitor.h"
#include "monitor/decoders/CoinAcceptorMonitor.h"
#include "monitor/decoders/CoinDispenserMonitor.h"
