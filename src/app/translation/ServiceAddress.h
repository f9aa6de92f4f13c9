#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

// The address under which the translation service is asked for the published page, or, for a
// service that takes the text itself, for the text.
namespace ServiceAddress {

// Indexes of the service list and of the recognition language list.
enum Service { Excite = 0, Google = 1, DeepL = 2, GoogleText = 3 };
enum Language { English = 0, Japanese = 1 };

// Percent-encoding of a query value, byte by byte: a space becomes "+", letters, digits and
// - . _ ! $ ' ( ) * @ pass, every other byte becomes "%" and two upper-case hex digits.
QByteArray UrlEncode(const QByteArray& text);

// A host with an optional ":port"; the port is 1 to 65535. Secure: reached over https.
struct HostPort {
    QString Host;
    quint16 Port = 0;
    bool Secure = false;
    bool operator==(const HostPort&) const = default;
};

// Parses "host" or "host:port" (default port when none is given). Empty when the host is
// empty or holds anything but letters, digits, "-", "." and "_", or the port is not a
// number from 1 to 65535: such a value could not name a host and would change the address
// it is put into.
std::optional<HostPort> ParseHostPort(const QString& text, quint16 defaultPort);

// A service's host: "https://host[:port]", "http://host[:port]" (either scheme in any case,
// an optional final "/") or a bare "host[:port]", which is reached over http as it always was.
// The port defaults to the scheme's. Empty when the host part is none (ParseHostPort).
std::optional<HostPort> ParseServiceHost(const QString& text);

// The https address of the service's Japanese web-page translation site.
QString DefaultHost(int service);
// The key of the SERVER section that may replace the service's host: "EXCITE", "GOOGLE",
// "DEEPL" or "GOOGLETEXT";
// empty for an index outside the list.
QString HostKey(int service);

// The service's name in the selector; Names: all of them, in the selector's order.
QString Name(int service);
QStringList Names();

// True for a service that is given the text in its address: nothing is published for it.
bool TakesText(int service);
// The characters such a service translates at once; 0 for the others.
int TextLimit(int service);
// Characters as the services count them: code points, not UTF-16 units.
qsizetype TextLength(const QString& text);
// Why the text cannot go to the service (longer than it takes, the limit named); empty when
// it can.
QString TextProblem(int service, const QString& text);

// The page's public address: the upload folder's address and the page's remote name.
QString PageAddress(const QString& folderAddress, const QString& remoteName);

// The service's address for the page: the host's scheme and host (with its port when not the
// scheme's) + the service's prefix, the page
// address converted to UTF-8 and encoded, and the language pair of the recognition
// language (English text to Japanese, Japanese text to English). Empty when the service or
// the language index lies outside its list: there is no address to ask then.
// Empty for a service that takes text.
QString Compose(int service, int language, const HostPort& host, const QString& pageAddress);

// The address of a text service for the text in UTF-8: DeepL's carries it in the fragment (so
// it never stands in a request line, "/" escaped as "\/"), Google's in the query. The pair
// follows the recognition language. Empty for a web-page service or an unknown language.
QString ComposeText(int service, int language, const HostPort& host, const QString& text);

} // namespace ServiceAddress
