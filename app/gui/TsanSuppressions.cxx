// Linked into the desktop program and its widget tests in thread-sanitizer builds.
// Under the thread sanitizer: Qt is not built with it, so the memory handling inside its own
// worker threads (the pools that convert and scale images while windows are painted or
// grabbed) looks unsynchronised. Allocations and copies that Qt's libraries make themselves
// are left out; plain memory accesses of the program's own code are still checked.
#ifdef __SANITIZE_THREAD__
extern "C" const char* __tsan_default_suppressions() {
  return "called_from_lib:libQt6Core.so.6\n"
         "called_from_lib:libQt6Gui.so.6\n"
         // GLib hands a thread's cached blocks to another thread through its own futex locks,
         // which the sanitizer cannot see, when one of Qt's painting pool threads ends.
         "race_top:posix_memalign\n";
}
#endif
