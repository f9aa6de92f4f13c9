#include "SaneFaults.h"

#include <algorithm>
#include <dlfcn.h>
#include <sane/sane.h>

namespace {

std::atomic<int> s_page{0};
std::atomic<long> s_pageBytes{0};

// SANE's own function of that name, in the library the caller has loaded: it is unloaded with
// the source, and must be, so that each session starts SANE afresh.
template <typename F> F next(const char* name) {
    void* const library = dlopen("libsane.so.1", RTLD_NOW | RTLD_NOLOAD);
    if (!library)
        return nullptr;
    const auto function = reinterpret_cast<F>(dlsym(library, name));
    dlclose(library);
    return function;
}

} // namespace

void SaneFaults::Reset() {
    JamAtPage = 0;
    EndFirstPageAfter = -1;
    s_page = 0;
    s_pageBytes = 0;
}

extern "C" __attribute__((visibility("default"))) SANE_Status sane_start(SANE_Handle handle) {
    const auto real = next<SANE_Status (*)(SANE_Handle)>("sane_start");
    ++s_page;
    s_pageBytes = 0;
    return real(handle);
}

extern "C" __attribute__((visibility("default"))) SANE_Status
sane_read(SANE_Handle handle, SANE_Byte* data, SANE_Int max, SANE_Int* length) {
    const auto real =
        next<SANE_Status (*)(SANE_Handle, SANE_Byte*, SANE_Int, SANE_Int*)>("sane_read");
    *length = 0;
    if (SaneFaults::JamAtPage == s_page && s_pageBytes > 0)
        return SANE_STATUS_JAMMED;
    const long end = s_page == 1 ? SaneFaults::EndFirstPageAfter.load() : -1;
    if (end >= 0) {
        if (s_pageBytes >= end)
            return SANE_STATUS_EOF;
        max = SANE_Int(std::min<long>(max, end - s_pageBytes));
    }
    const SANE_Status status = real(handle, data, max, length);
    s_pageBytes += *length;
    return status;
}
