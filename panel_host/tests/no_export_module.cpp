// A shared library that looks like a panel module but lacks the export:
// panel_host must refuse it with a clear message.
extern "C" int zelm_not_the_export() { return 0; }
