// A library for tests that loads but offers no "LogEvent" entry point.
extern "C" int NotTheAlertEntryPoint(int value) {
    return value;
}
