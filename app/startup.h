#pragma once

class QApplication;
class QFont;

namespace tarnwick {

// The application-wide look the main window's fixed layout was measured
// with: the classic Windows style and the desktop's user-interface font at
// 12 pixels, so that twelve pixels hold one Chinese character as the
// captions' sizes assume. It also names the program to the desktop. Qt's
// own texts are translated at once, or, with translateLater, once the event
// loop runs: only its dialogs use them, none of which the first frame shows.
void setUpApplication(QApplication &app, bool translateLater = false);

// font at the 12 pixels the layout was measured with.
QFont layoutFont(QFont font);

} // namespace tarnwick
