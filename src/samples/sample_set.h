#pragma once
// The sample pictures `make run` opens, so a newcomer sees Vistrel working at once: landscapes
// drawn here, JPEG and GIF, of many shapes and a few awkward names. No third-party images.

#include <QDir>
#include <QString>

namespace vistrel::samples {

// Draws every sample into `folder` (which must exist). The number written, or -1 with `failed`
// naming the file that could not be written.
int writeSamples(const QDir& folder, QString& failed);

}  // namespace vistrel::samples
