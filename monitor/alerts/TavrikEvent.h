// The entry point every alert library offers: "LogEvent" with the event code as its one argument.
#pragma once

extern "C" {
// Receives one alert event (the codes of monitor/alerts/AlertEvents.h). Returns nothing the
// monitor looks at.
void LogEvent(int eventCode);
}
