// Chromium inside Qt WebEngine frees some objects through a base of another size, which
// AddressSanitizer reports as a new/delete type mismatch in code that is not ours.
#if defined(__SANITIZE_ADDRESS__)
extern "C" const char* __asan_default_options() {
    return "new_delete_type_mismatch=0";
}
#endif
