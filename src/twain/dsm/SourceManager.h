#pragma once

#include "SourceModules.h"

// The source manager's state machine: state 2 when loaded, 3 when opened; each source keeps
// its own state 4 to 7 as the session moves it. Out-of-sequence calls answer TWRC_FAILURE
// with TWCC_SEQERROR; every failure leaves its condition code for DAT_STATUS.
class SourceManager {
public:
    TW_UINT16 Entry(TW_IDENTITY* origin, TW_IDENTITY* dest, TW_UINT32 dg, TW_UINT16 dat,
                    TW_UINT16 msg, TW_MEMREF data);
    TW_UINT16 Fail(TW_UINT16 condition);

private:
    TW_UINT16 managerCall(TW_IDENTITY* origin, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data);
    TW_UINT16 identityCall(TW_IDENTITY* origin, TW_UINT16 msg, TW_IDENTITY* identity);
    TW_UINT16 sourceCall(TW_IDENTITY* origin, DataSource& source, TW_UINT32 dg, TW_UINT16 dat,
                         TW_UINT16 msg, TW_MEMREF data);
    TW_UINT16 userSelect(TW_IDENTITY* identity);
    TW_UINT16 openSource(TW_IDENTITY* origin, TW_IDENTITY* identity);
    TW_UINT16 closeSource(TW_IDENTITY* origin, DataSource& source);
    TW_UINT16 forward(TW_IDENTITY* origin, DataSource& source, TW_UINT32 dg, TW_UINT16 dat,
                      TW_UINT16 msg, TW_MEMREF data);

    int m_state = 2;
    TW_UINT16 m_condition = TWCC_SUCCESS;
    std::size_t m_next = 0;
    void* m_parent = nullptr;
    SourceModules m_modules;
};
