#pragma once

#include "app/platform.h"
#include "app/storedsettings.h"
#include "book/booksettings.h"
#include "book/dmlwriter.h"
#include "preview/previewhost.h"

#include <QWidget>

#include <array>
#include <optional>

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tarnwick {

class PreviewCoordinator;
class ExportTask;
class ConversionTask;

class ColourSwatch;
class frmPageBoard;
class LinkLabel;
class PictureList;
class PictureListController;
class PictureListView;
class PictureSizeReader;
class BookSession;

// Tarnwick's one working window and its start object. Its controls hold every
// input of the tool; the commands are handlers of those controls. The window
// has a fixed client area of 540 x 332 pixels and places every control at a
// fixed position; the controls carry their own names as object names.
//
// The control members keep the names the controls are known by everywhere
// (Text1, List1, Text3 ...), so they do not take the m_ prefix.
class frmMain : public QWidget, public PreviewHost
{
    Q_OBJECT

public:
    // settingsPath is the INI file GetConfig reads and a successful generation
    // writes; platform supplies the dialogs and the desktop hand-off.
    frmMain(Platform &platform, const QString &settingsPath, QWidget *parent = nullptr);
    ~frmMain() override;

    // Puts the stored settings, or their defaults, into the controls.
    void GetConfig();
    // Opens what the command line or a drop names: a folder is scanned as if
    // chosen in the folder chooser; a .dml file's folder is scanned, Text2
    // takes its name and the list is arranged by it; anything else is
    // reported.
    void openPath(const QString &path);

    // True when a loaded window of the program has exactly this object name.
    bool IsFormLoaded(const QString &name) const;

    QString pictureFolder() const override;
    QString currentEntry() const override;
    QPoint hostPosition() const override;
    QSize hostClientSize() const override;
    QWindow *hostWindow() const override;
    void untickPreview() override;

    // The first showing makes the controls and loads the stored inputs.
    void setVisible(bool visible) override;

Q_SIGNALS:
    // The quit command: the program is to end at once, without the unload
    // handling of a closed window.
    void quitRequested();
    // A book input (a size, an offset, a colour, the border, the way of
    // placing) changed, in a control or from code.
    void inputsChanged();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void load();
    void createControls();
    void setUpTabOrder();
    void setUpAccessibleNames();
    void Form_Load();
    void Form_Unload();
    void Check1_Click();
    // The way of placing changed: contain and shrink need the pictures' sizes.
    void Combo1_Click();
    void Command1_Click();
    // Lists a chosen folder into List1 and presets the sizes; false when the
    // folder could not be read.
    bool scanFolder(const QString &chosen);
    // Arranges List1 by the document Text2 names in the folder the list was
    // made from and shows its values, as one undo step.
    void arrangeByDocument();
    // Selects exactly the entries of List1 with these names, the first of
    // them current.
    void selectEntries(const QStringList &names);
    void Command2_Click();
    void Command3_Click();
    void runGenerate();
    // Waits until every listed picture's size is read, the window answering
    // meanwhile and, from 300 ms on, a progress dialog showing; false when
    // the user cancelled or the program is quitting.
    bool waitForPageSizes(PictureSizeReader &sizes);
    // The session's book: its inputs, the folder text and the list.
    BookSettings readBookSettings() const;
    // Makes these the session's inputs (every input but the folder and the
    // list) and shows them in the controls.
    void showInputs(const BookSettings &inputs);
    // The controls follow the session's inputs, and the session the controls.
    void showControls();
    void pushInputs();
    BookSettings readControls() const;
    // The control that shows a field, and takes the focus when a check fails.
    QWidget *control(BookField field) const;
    QStringList pictureEntries() const;
    void chooseColour(ColourSwatch *swatch);
    // Whether 按dml文件排列 has a listed folder and pictures to arrange.
    void enableArrangeByDocument();
    // Opens the page board, creating it the first time; closes an open one.
    void togglePageBoard();
    // 导出电子书文件夹…: asks for the folder and the options, then exports on
    // the session's queue with a progress dialog, the window answering.
    void exportBookFolder();
    // "转换为JPEG…": JPEG copies of the folder's pictures the listing leaves out.
    void convertPictures();
    // Where the page board keeps its size: tarnwick/board.ini beside the settings file.
    QString pageBoardSettingsPath() const;

    Platform &m_platform;
    QString m_settingsPath;
    QString m_lastChosenFolder;
    bool m_placed = false;
    // Set while a generation run is under way: its modal boxes process
    // events, and a second click then must not start a nested run.
    bool m_generating = false;
    // Set while the controls are filled from the session's inputs.
    bool m_showingInputs = false;

    QGroupBox *Frame1 = nullptr;
    QGroupBox *Frame2 = nullptr;
    QGroupBox *Frame3 = nullptr;
    QGroupBox *Frame4 = nullptr;
    QGroupBox *Frame5 = nullptr;
    QLineEdit *Text1 = nullptr;
    QLineEdit *Text2 = nullptr;
    std::array<QLineEdit *, 4> Text3{};
    QLineEdit *Text7 = nullptr;
    QLineEdit *Text8 = nullptr;
    QPushButton *Command1 = nullptr;
    QPushButton *Command2 = nullptr;
    QPushButton *Command3 = nullptr;
    PictureListView *List1 = nullptr;
    BookSession *m_session = nullptr;
    PictureList *m_pictures = nullptr;
    PictureListController *m_pictureList = nullptr;
    PictureSizeReader *m_sizes = nullptr;
    PreviewCoordinator *m_preview = nullptr;
    QAction *m_arrangeByDocument = nullptr;
    QAction *m_openPageBoard = nullptr;
    QAction *m_exportBook = nullptr;
    ExportTask *m_export = nullptr; // the export under way
    QAction *m_convertPictures = nullptr;
    ConversionTask *m_conversion = nullptr; // the conversion under way
    frmPageBoard *m_pageBoard = nullptr;
    LinkLabel *Label11 = nullptr;
    LinkLabel *Label12 = nullptr;
    LinkLabel *Label13 = nullptr;
    LinkLabel *Label14 = nullptr;
    LinkLabel *Label15 = nullptr;
    QCheckBox *Check1 = nullptr;
    QCheckBox *Check2 = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *Label4 = nullptr;
    QLabel *Label6 = nullptr;
    QLabel *Label7 = nullptr;
    QLabel *Label9 = nullptr;
    QLabel *Label10 = nullptr;
    QLabel *Label16 = nullptr;
    QComboBox *Combo1 = nullptr;
    ColourSwatch *Label5 = nullptr;
    ColourSwatch *Label8 = nullptr;
};

} // namespace tarnwick
