// Font configuration keeps its caches for the life of the process; the leak
// checker of the sanitizer builds asks here what to leave out.
extern "C" __attribute__((used, visibility("default"))) const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
