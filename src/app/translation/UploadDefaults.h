#pragma once

#include <QString>

// The built-in upload account, used for every SERVER value that is missing or empty.
// It belongs to the deployment: each installation sets its own in the SERVER section.
namespace UploadDefaults {

inline QString Host() { return QStringLiteral("ftp.example.com"); }
inline QString User() { return QStringLiteral("vela1"); }
inline QString Password() { return QStringLiteral("change-me!"); }
inline QString Directory() { return QStringLiteral("/example.com/public_html/80_trns/"); }
inline QString Address() { return QStringLiteral("http://example.com/80_trns/"); }

} // namespace UploadDefaults
