// Fontconfig (cairo's fonts, for the text of PDF pages) keeps what it found in process-wide caches that
// leak checking sees as lost at exit; they are allocated once, not per drawing. Read only by the leak
// checker of sanitized builds, which looks for this hook in the program itself: every program that
// writes PDF pages through the kit links it (kvhlr_font_cache_leaks in kit/CMakeLists.txt).
extern "C" __attribute__((used, visibility("default"))) const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
