#pragma once

#include <QImage>
#include <QString>

namespace lexicorn::app {

/// The product logo, decoded from the JPEG that ships inside the program. A null image when the
/// JPEG cannot be decoded.
QImage ProductLogo();

/// The release notes (Markdown) that ship inside the program.
QString ReleaseNotesResource();

/// Decodes a baseline or progressive JPEG with libjpeg; a null image for data it cannot decode.
QImage DecodeJpeg(const QByteArray& data);

}  // namespace lexicorn::app
