// Sanitizer defaults of every fuzzer.
//
// The fuzz build uses clang's shared sanitizer runtime (see FuzzBuild.cmake),
// and libFuzzer's driver puts the C++ library ahead of it among a program's
// libraries. The runtime refuses to start unless it comes first, to be sure
// that its allocator is the one found; the C++ library defines no allocator
// of its own, so the order is harmless here and the check is turned off.
extern "C" const char* __asan_default_options() { return "verify_asan_link_order=0"; }
