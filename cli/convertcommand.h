#pragma once

#include "cli/makecommand.h"

namespace tarnwick {

class BookSession;

// tarnwick-make --convert: makes the JPEG copies of the listed folder's
// pictures in other formats (the session's otherPictures()), what is
// transparent laid onto background. One line "b.png -> b.jpg" on standard
// output for each copy written; a picture skipped (its JPEG name taken) or
// failed is named on standard error, a failure with its reason. Exit status
// MakeWritten when every picture was written or skipped, MakeNotConverted
// when any failed. No document is written.
MakeResult runConvertCommand(BookSession &session, quint32 background);

} // namespace tarnwick
