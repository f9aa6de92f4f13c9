#include "SecretStore.h"

#include <libsecret/secret.h>

namespace SecretStore {

namespace {

const SecretSchema* schema() {
    static const SecretSchema s = {"org.vela.FtpPassword",
                                   SECRET_SCHEMA_NONE,
                                   {{"server", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                    {"user", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                    {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING}},
                                   0,
                                   nullptr,
                                   nullptr,
                                   nullptr,
                                   nullptr,
                                   nullptr,
                                   nullptr,
                                   nullptr};
    return &s;
}

// The bus of this call; libsecret takes the process's shared connection, which would otherwise
// end the process when the bus closes, and outlive a keyring that has gone.
class Session {
public:
    Session() {
        GError* error = nullptr;
        m_bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
        if (m_bus)
            g_dbus_connection_set_exit_on_close(m_bus, FALSE);
        else
            take(error);
    }
    ~Session() {
        secret_service_disconnect();
        if (m_bus)
            g_object_unref(m_bus);
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    bool Up() const { return m_bus != nullptr; }
    const QString& Error() const { return m_error; }
    // Keeps the message of a failed call; true when there was none.
    bool take(GError* error) {
        if (!error)
            return true;
        m_error = QString::fromUtf8(error->message);
        g_error_free(error);
        return false;
    }

private:
    GDBusConnection* m_bus = nullptr;
    QString m_error;
};

} // namespace

LookupResult Lookup(const QString& server, const QString& user) {
    Session session;
    LookupResult result;
    if (!session.Up()) {
        result.Error = session.Error();
        return result;
    }
    GError* error = nullptr;
    gchar* password = secret_password_lookup_sync(schema(), nullptr, &error, "server",
                                                  server.toUtf8().constData(), "user",
                                                  user.toUtf8().constData(), nullptr);
    result.Answered = session.take(error);
    result.Error = session.Error();
    if (password) {
        result.Password = QString::fromUtf8(password);
        secret_password_free(password);
    }
    return result;
}

bool Store(const QString& server, const QString& user, const QString& password, QString* error) {
    Session session;
    GError* failure = nullptr;
    const QByteArray label = QStringLiteral("Vela FTP %1@%2").arg(user, server).toUtf8();
    QByteArray secret = password.toUtf8();
    const bool stored =
        session.Up() && secret_password_store_sync(schema(), SECRET_COLLECTION_DEFAULT,
                                                   label.constData(), secret.constData(), nullptr,
                                                   &failure, "server", server.toUtf8().constData(),
                                                   "user", user.toUtf8().constData(), nullptr);
    session.take(failure);
    secret.fill('\0');
    if (error)
        *error = session.Error();
    return stored;
}

bool Clear(const QString& server, const QString& user) {
    Session session;
    if (!session.Up())
        return false;
    GError* error = nullptr;
    secret_password_clear_sync(schema(), nullptr, &error, "server", server.toUtf8().constData(),
                               "user", user.toUtf8().constData(), nullptr);
    return session.take(error);
}

} // namespace SecretStore
