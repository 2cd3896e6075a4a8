// Under AddressSanitizer: the GL driver keeps allocations until exit from code that it has
// unloaded by then, so its leaks cannot be told apart from ours; leak checking stays off in the
// tests that open a display (the tests without one keep it).
extern "C" const char* __asan_default_options() {
    return "detect_leaks=0";
}
