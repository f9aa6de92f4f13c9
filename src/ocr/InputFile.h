#pragma once

#include <QByteArray>
#include <QString>

// The whole of an input file, read into memory: a decoder that works on a mapping of the file
// instead would be killed by a file cut short while it reads, and would see a file rewritten
// in place after its header was checked. Raises VelaError naming the file.
QByteArray ReadInputFile(const QString& fileName);
