#pragma once

#include "VelaError.h"

#include <cstdint>

// Result codes of the browser interfaces keep the platform's values.
using HRESULT = std::int32_t;

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057);
constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFF);
constexpr HRESULT DISP_E_MEMBERNOTFOUND = static_cast<HRESULT>(0x80020003);
constexpr HRESULT OLECMDERR_E_NOTSUPPORTED = static_cast<HRESULT>(0x80040100);
constexpr HRESULT OLECMDERR_E_DISABLED = static_cast<HRESULT>(0x80040101);

inline bool Succeeded(HRESULT hr) {
    return hr >= 0;
}

// A failure code answered by the browser control, raised to the caller.
class EOleSysError : public VelaError {
public:
    EOleSysError(HRESULT code, const QString& operation);
    HRESULT ErrorCode() const { return m_code; }

private:
    HRESULT m_code;
};

// Raises EOleSysError when hr is a failure code.
void OleCheck(HRESULT hr, const char* operation);
