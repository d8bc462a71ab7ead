// fontconfig keeps its configuration and caches for the life of the process: LeakSanitizer reports them at
// exit. Read by LeakSanitizer when the test runs under it; unused otherwise.
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
