#pragma once

#include "TwainTypes.h"

#include <QString>

// The text of a 34-byte identity field, up to its zero byte.
QString TwainFieldText(const TW_STR32& field);
// Copies text into a 34-byte identity field, cut so that the zero byte always fits and no
// character is split.
void SetTwainField(TW_STR32& field, const QString& text);
