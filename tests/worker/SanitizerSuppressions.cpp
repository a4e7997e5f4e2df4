// ThreadSanitizer picks these up on its own when the tests are built with
// it; other builds never call the function.
//
// OpenCV's image codecs register GDAL's drivers on first use. GDAL is not
// instrumented and takes its own locks in two orders during that one-time
// registration, which ThreadSanitizer reports as a possible deadlock inside
// GDAL whenever a test reads or writes an image file.
extern "C" const char* __tsan_default_suppressions();
extern "C" const char* __tsan_default_suppressions() { return "called_from_lib:libgdal.so.32\n"; }
