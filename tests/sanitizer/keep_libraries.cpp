// Preloaded into the sanitizer build's tests that open an OpenGL window.
//
// The system's GL driver leaves some buffers allocated at exit and is then
// unloaded, so LeakSanitizer would report them from an unknown module that no
// suppression can name. Keeping every library loaded lets the suppressions
// below name the driver, while leaks in the program itself are still reported.
extern "C" int dlclose(void*) {
  return 0;
}

extern "C" const char* __lsan_default_suppressions() {
  return "leak:swrast_dri.so\n"
         "leak:libGLX_mesa.so\n";
}
