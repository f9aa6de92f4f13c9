#pragma once

#include <QImage>

class MiDocument;

// The document's page as an image for the screen: grey pages stay 8-bit grey, colour
// and palette pages become RGB. Null when the document is closed.
QImage PageImage(const MiDocument& document);
