#include "OleSysError.h"

namespace {

QString describe(HRESULT code) {
    switch (code) {
    case E_NOTIMPL:
        return QStringLiteral("Not implemented");
    case E_FAIL:
        return QStringLiteral("Unspecified error");
    case E_INVALIDARG:
        return QStringLiteral("The parameter is incorrect");
    case E_UNEXPECTED:
        return QStringLiteral("Catastrophic failure");
    case OLECMDERR_E_NOTSUPPORTED:
        return QStringLiteral("The command is not supported");
    case OLECMDERR_E_DISABLED:
        return QStringLiteral("The command is disabled");
    default:
        return QStringLiteral("Error");
    }
}

} // namespace

EOleSysError::EOleSysError(HRESULT code, const QString& operation)
    : VelaError(QStringLiteral("%1 (0x%2): %3")
                    .arg(describe(code),
                         QString::number(static_cast<std::uint32_t>(code), 16)
                             .rightJustified(8, QLatin1Char('0')),
                         operation)),
      m_code(code) {}

void OleCheck(HRESULT hr, const char* operation) {
    if (!Succeeded(hr))
        throw EOleSysError(hr, QString::fromLatin1(operation));
}
