#pragma once

#include "UploadSetup.h"

#include <QString>

// The published page is taken off the web space once it has served its translation, so the
// user's text does not stay public.
namespace PageRemoval {

// Logs in with the account (over TLS as tls says) and deletes remoteName from its folder,
// waiting at most boundMs
// (user input is held back meanwhile). True when the server confirmed the removal; a server
// that cannot be reached in time is given up silently.
bool Remove(const UploadSetup::Account& account, const UploadSetup::TlsChoice& tls,
            const QString& remoteName, int boundMs);

} // namespace PageRemoval
