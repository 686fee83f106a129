#pragma once
// The board picture of the first page, decoded with libjpeg.

#include <QImage>
#include <QString>

namespace orvan::app {

// Decodes a JPEG held in memory. A damaged or foreign file gives a null image
// and the decoder's reason in `error`; it never aborts the program.
QImage DecodeJpeg(const QByteArray& bytes, QString* error = nullptr);

// The picture shipped with the program (a resource of the executable).
QImage BoardPicture();

}  // namespace orvan::app
