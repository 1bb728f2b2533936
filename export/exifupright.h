#pragma once

#include <QByteArray>

namespace tarnwick {

// Makes the EXIF block of a JPEG that was just turned upright say so: its
// orientation becomes 1, and its camera thumbnail (IFD1), which still shows
// the picture as stored, is unlinked and, where it ends the block as cameras
// write it, cut off. A block too damaged to mend is dropped whole, so that
// no viewer turns the picture a second time. Other blocks and the picture
// data stay as they are. Works on the bytes in place; false when jpeg is not
// a JPEG whose blocks could be walked.
bool makeExifUpright(QByteArray &jpeg);

} // namespace tarnwick
