#include "SourceManager.h"

#include <exception>

namespace {

SourceManager& manager() {
    static SourceManager s_manager;
    return s_manager;
}

} // namespace

// The one entry point of the source manager. Nothing thrown inside crosses it.
extern "C" __attribute__((visibility("default"))) TW_UINT16
DSM_Entry(TW_IDENTITY* pOrigin, TW_IDENTITY* pDest, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG,
          TW_MEMREF pData) {
    try {
        return manager().Entry(pOrigin, pDest, DG, DAT, MSG, pData);
    } catch (const std::bad_alloc&) {
        return manager().Fail(TWCC_LOWMEMORY);
    } catch (...) {
        return manager().Fail(TWCC_BUMMER);
    }
}
