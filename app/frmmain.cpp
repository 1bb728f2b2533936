#include "app/frmmain.h"

#include "app/colourswatch.h"
#include "app/exportdialog.h"
#include "export/exporttask.h"
#include "convert/conversiontask.h"
#include "export/picturefacts.h"
#include "board/frmpageboard.h"
#include "app/icons.h"
#include "app/startup.h"
#include "app/storedsettings.h"
#include "app/typedlengthlimit.h"
#include "book/bookcheck.h"
#include "book/bookmessages.h"
#include "book/colourvalue.h"
#include "book/dmlreader.h"
#include "book/dmlwriter.h"
#include "session/bookfolder.h"
#include "widgets/linklabel.h"
#include "board/pageboardview.h"
#include "preview/panmath.h"
#include "list/picturelist.h"
#include "widgets/picturelistcontroller.h"
#include "widgets/picturelistview.h"
#include "session/picturesizereader.h"
#include "thumbnails/thumbnailcache.h"
#include "widgets/undostackhistory.h"
#include "preview/previewcoordinator.h"
#include "session/booksession.h"

#include <QApplication>
#include <QGuiApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>
#include <QAction>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>
#include <QUrl>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QScopeGuard>
#include <QScopedValueRollback>
#include <QScreen>
#include <QSet>
#include <QShortcut>

#include <limits>
#include <utility>

namespace tarnwick {

namespace {

constexpr int px(int twips)
{
    return twipsToPixels(twips);
}

QRect twips(int left, int top, int width, int height)
{
    return QRect(px(left), px(top), px(width), px(height));
}

// What the user may type into a size or offset box.
constexpr int numberBoxTypingLimit = 4;

const QString browseTitle = QStringLiteral(u"请选择图片所在目录：");
// The undo step of a new listing.
const QString browseStep = QStringLiteral(u"选择图片所在目录");
const QString generatedQuestion = QStringLiteral(u"dml文件生成完毕！现在需要用DeskTop Author将它打开吗？");
const QString settingsNotSaved = QStringLiteral(u"dml文件已生成，但无法保存设置：");
const QString pictureNotReadable = QStringLiteral(u"无法读取图片的尺寸：");
const QString folderNotReadable = QStringLiteral(u"无法读取图片目录：");
const QString documentNotFound = QStringLiteral(u"找不到dml文件：");
const QString documentNotReadable = QStringLiteral(u"无法读取dml文件：");
const QString picturesSkipped = QStringLiteral(u"以下图片在目录中找不到，已跳过：");
const QString cannotOpen = QStringLiteral(u"无法打开：");
const QString placementMismatched = QStringLiteral(u"dml文件中各页图片位置不一，已按第一页设置。");
const QString readingSizes = QStringLiteral(u"正在读取图片尺寸：已读%1个，共%2个");
const QString cancelReading = QStringLiteral(u"取消");
const QString exportCommand = QStringLiteral(u"导出电子书文件夹…");
const QString exportTitle = QStringLiteral(u"请选择电子书文件夹：");
const QString exporting = QStringLiteral(u"正在导出图片：已导出%1个，共%2个");
const QString exportFailed = QStringLiteral(u"无法导出电子书文件夹：");
const QString exportedQuestion = QStringLiteral(u"电子书文件夹已导出到：%1，是否打开该文件夹？");
const QString convertCommand = QStringLiteral(u"转换为JPEG…");
const QString convertStep = QStringLiteral(u"转换为JPEG");
const QString convertQuestion = QStringLiteral(u"是否将以下%1张图片转换为JPEG文件？原图片不会改变。");
const QString converting = QStringLiteral(u"正在转换图片：已转换%1个，共%2个");

// The ways of placing in the order Combo1 lists them.
const std::pair<FitMode, QString> fitModeEntries[] = {{FitMode::Stretch, QStringLiteral(u"拉伸")},
                                                      {FitMode::Contain, QStringLiteral(u"适应")},
                                                      {FitMode::Shrink, QStringLiteral(u"仅缩小")}};

// The progress dialog of a wait for the sizes shows from then on.
constexpr int sizeDialogDelayMs = 300;

BorderSwitch borderSwitch(Qt::CheckState state)
{
    switch (state) {
    case Qt::Checked:
        return BorderSwitch::On;
    case Qt::PartiallyChecked:
        return BorderSwitch::Greyed;
    case Qt::Unchecked:
        break;
    }
    return BorderSwitch::Off;
}

Qt::CheckState checkState(BorderSwitch border)
{
    switch (border) {
    case BorderSwitch::On:
        return Qt::Checked;
    case BorderSwitch::Greyed:
        return Qt::PartiallyChecked;
    case BorderSwitch::Off:
        break;
    }
    return Qt::Unchecked;
}

template <typename W>
W *named(W *widget, const QString &name, const QRect &geometry)
{
    widget->setObjectName(name);
    widget->setGeometry(geometry);
    return widget;
}

// Caption labels are as large as their text.
QLabel *caption(QWidget *parent, const QString &name, const QString &text, int left, int top)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->move(px(left), px(top));
    label->adjustSize();
    return label;
}

QGroupBox *frame(QWidget *parent, const QString &name, const QString &title, const QRect &geometry)
{
    return named(new QGroupBox(title, parent), name, geometry);
}

QPushButton *button(QWidget *parent, const QString &name, const QString &text, const QRect &geometry)
{
    auto *b = named(new QPushButton(text, parent), name, geometry);
    // Enter and Esc run no command in this window.
    b->setAutoDefault(false);
    b->setDefault(false);
    return b;
}

// QLineEdit cuts even program-set text at 32767 characters by default.
QLineEdit *textBox(QWidget *parent, const QString &name, const QRect &geometry)
{
    auto *box = named(new QLineEdit(parent), name, geometry);
    box->setMaxLength(std::numeric_limits<int>::max());
    return box;
}

QLineEdit *numberBox(QWidget *parent, const QString &name, const QRect &geometry)
{
    auto *box = textBox(parent, name, geometry);
    new TypedLengthLimit(box, numberBoxTypingLimit);
    return box;
}

// A folder or a .dml file dropped from the file manager opens as if given on
// the command line.
QString droppedPath(const QMimeData *data)
{
    const QList<QUrl> urls = data ? data->urls() : QList<QUrl>();
    if (urls.size() != 1 || !urls.first().isLocalFile())
        return {};
    const QFileInfo info(urls.first().toLocalFile());
    const bool book = info.isFile() && info.suffix().compare(u"dml", Qt::CaseInsensitive) == 0;
    return info.isDir() || book ? info.filePath() : QString();
}

} // namespace

frmMain::frmMain(Platform &platform, const QString &settingsPath, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                          | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
    , m_platform(platform)
    , m_settingsPath(settingsPath)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Tarnwick"));
    setWindowIcon(builtInApplicationIcon());
    // Set on the window itself: a platform theme that sets its own
    // application font would otherwise clip the fixed layout's captions.
    setFont(layoutFont(font()));
    setFixedSize(px(8100), px(4980));
}

frmMain::~frmMain()
{
    // The board shows the session's list: it goes first, before the children
    // are deleted in the order they were made (the session among the first).
    delete m_pageBoard;
}

void frmMain::createControls()
{
    Frame2 = frame(this, QStringLiteral("Frame2"), QStringLiteral(u"选择图片所在目录"),
                   twips(240, 240, 3615, 750));
    Text1 = textBox(Frame2, QStringLiteral("Text1"), twips(120, 240, 3000, 375));
    Text1->setReadOnly(true);
    Command1 = button(Frame2, QStringLiteral("Command1"), QString(), twips(3150, 240, 375, 375));
    Command1->setIcon(openFolderIcon());
    Command1->setIconSize(QSize(16, 16));

    Frame1 = frame(this, QStringLiteral("Frame1"), QStringLiteral(u"图片列表"),
                   twips(240, 1110, 3600, 2760));
    List1 = named(new PictureListView(Frame1), QStringLiteral("List1"), twips(210, 360, 2370, 2190));
    m_session = new BookSession(std::make_unique<UndoStackHistory>(), this);
    m_pictures = &m_session->pictures();
    m_sizes = &m_session->sizes();
    m_pictureList = new PictureListController(List1, *m_pictures, this);
    const auto command = [this](ListCommand which, const QString &name, int left, int top) {
        LinkLabel *label = m_pictureList->createCommandLabel(which, Frame1);
        label->setObjectName(name);
        label->move(px(left), px(top));
        label->adjustSize();
        return label;
    };
    Label11 = command(ListCommand::MoveToTop, QStringLiteral("Label11"), 2610, 360);
    Label12 = command(ListCommand::MoveUp, QStringLiteral("Label12"), 2610, 680);
    Label14 = command(ListCommand::MoveDown, QStringLiteral("Label14"), 2610, 1125);
    Label13 = command(ListCommand::MoveToBottom, QStringLiteral("Label13"), 2610, 1440);
    Label15 = command(ListCommand::Remove, QStringLiteral("Label15"), 2625, 1920);
    Check2 = named(new QCheckBox(QStringLiteral(u"预览"), Frame1), QStringLiteral("Check2"),
                   twips(2760, 2310, 675, 255));

    Frame3 = frame(this, QStringLiteral("Frame3"), QStringLiteral(u"dml 文件名"),
                   twips(240, 3960, 3615, 750));
    Text2 = textBox(Frame3, QStringLiteral("Text2"), twips(120, 240, 3375, 375));

    Frame4 = frame(this, QStringLiteral("Frame4"), QStringLiteral(u"E书属性"),
                   twips(4080, 240, 3735, 1935));
    Label1 = caption(Frame4, QStringLiteral("Label1"), QStringLiteral(u"宽："), 240, 450);
    Text3[0] = numberBox(Frame4, QStringLiteral("Text3(0)"), twips(600, 360, 615, 375));
    Label2 = caption(Frame4, QStringLiteral("Label2"), QStringLiteral(u"高："), 1680, 450);
    Text3[1] = numberBox(Frame4, QStringLiteral("Text3(1)"), twips(2040, 360, 615, 375));
    Label3 = caption(Frame4, QStringLiteral("Label3"), QStringLiteral(u"背景颜色："), 240, 986);
    const BookSettings defaults;
    Label5 = named(new ColourSwatch(defaults.backgroundColour, Frame4), QStringLiteral("Label5"),
                   twips(2040, 926, 615, 300));
    Label5->setToolTip(QStringLiteral(u"点击 选择E书背景的颜色"));
    Check1 = named(new QCheckBox(QStringLiteral(u"边框"), Frame4), QStringLiteral("Check1"),
                   twips(240, 1440, 735, 255));
    Label4 = caption(Frame4, QStringLiteral("Label4"), QStringLiteral(u"边框颜色："), 1380, 1477);
    Label4->hide();
    Label8 = named(new ColourSwatch(defaults.borderColour, Frame4), QStringLiteral("Label8"),
                   twips(2280, 1417, 375, 300));
    Label8->setToolTip(QStringLiteral(u"点击 选择E书边框的颜色"));
    Label8->hide();

    Frame5 = frame(this, QStringLiteral("Frame5"), QStringLiteral(u"图片属性"),
                   twips(4080, 2295, 3735, 1575));
    Label10 = caption(Frame5, QStringLiteral("Label10"), QStringLiteral(u"图片宽："), 240, 450);
    Text3[2] = numberBox(Frame5, QStringLiteral("Text3(2)"), twips(1080, 360, 615, 375));
    Label9 = caption(Frame5, QStringLiteral("Label9"), QStringLiteral(u"图片高："), 1920, 450);
    Text3[3] = numberBox(Frame5, QStringLiteral("Text3(3)"), twips(2760, 360, 615, 375));
    Label7 = caption(Frame5, QStringLiteral("Label7"), QStringLiteral(u"左边距："), 240, 1050);
    Text8 = numberBox(Frame5, QStringLiteral("Text8"), twips(1080, 960, 615, 375));
    Label6 = caption(Frame5, QStringLiteral("Label6"), QStringLiteral(u"上边踞："), 1920, 1050);
    Text7 = numberBox(Frame5, QStringLiteral("Text7"), twips(2760, 960, 615, 375));

    // The way of placing sits in the band between Frame5 and the buttons,
    // its caption aligned with the frame's captions, its box ending with theirs.
    Label16 = caption(this, QStringLiteral("Label16"), QStringLiteral(u"缩放方式："), 4320, 4005);
    Combo1 = named(new QComboBox(this), QStringLiteral("Combo1"), twips(5460, 3915, 1995, 375));
    for (const auto &[mode, text] : fitModeEntries)
        Combo1->addItem(text, int(mode));

    Command2 = button(this, QStringLiteral("Command2"), QStringLiteral(u"生成dml文件(&B)"),
                      twips(4080, 4335, 1815, 375));
    Command3 = button(this, QStringLiteral("Command3"), QStringLiteral(u"退 出(&Q) "),
                      twips(6360, 4335, 1455, 375));

    // stateChanged also fires when code changes the value, so the border
    // controls follow Check1 however it is set.
    connect(Check1, &QCheckBox::stateChanged, this, &frmMain::Check1_Click);
    connect(Combo1, &QComboBox::currentIndexChanged, this, &frmMain::Combo1_Click);
    connect(Label5, &LinkLabel::clicked, this, [this] { chooseColour(Label5); });
    connect(Label8, &LinkLabel::clicked, this, [this] { chooseColour(Label8); });
    connect(Command1, &QPushButton::clicked, this, &frmMain::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frmMain::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &frmMain::Command3_Click);

    // Reopening a book: the list's menu arranges it by the document Text2
    // names in the listed folder; with no listed folder there is none.
    m_arrangeByDocument = new QAction(QStringLiteral(u"按dml文件排列(&L)"), this);
    connect(m_arrangeByDocument, &QAction::triggered, this, &frmMain::arrangeByDocument);
    m_openPageBoard = new QAction(QStringLiteral(u"页面总览(&P)"), this);
    connect(m_openPageBoard, &QAction::triggered, this, &frmMain::togglePageBoard);
    m_exportBook = new QAction(exportCommand, this);
    m_exportBook->setObjectName(QStringLiteral("exportBook"));
    connect(m_exportBook, &QAction::triggered, this, &frmMain::exportBookFolder);
    m_convertPictures = new QAction(convertCommand, this);
    m_convertPictures->setObjectName(QStringLiteral("convertPictures"));
    connect(m_convertPictures, &QAction::triggered, this, &frmMain::convertPictures);
    // A section of its own before the last one, which stays the book's.
    m_pictureList->addMenuSection({m_convertPictures});
    m_pictureList->addMenuSection({m_arrangeByDocument, m_openPageBoard, m_exportBook});
    connect(m_pictureList->contextMenu(), &QMenu::aboutToShow, this, &frmMain::enableArrangeByDocument);
    auto *pageBoardKey = new QShortcut(QKeySequence(Qt::Key_F4), this);
    pageBoardKey->setContext(Qt::WindowShortcut);
    connect(pageBoardKey, &QShortcut::activated, this, &frmMain::togglePageBoard);
    // Text1 shows the session's folder; the other controls show its inputs
    // and hand every change back to it.
    connect(m_session, &BookSession::folderTextChanged, Text1, &QLineEdit::setText);
    // The caption counts the last listing, also one brought back by undo.
    connect(m_session, &BookSession::listingChanged, this, [this] {
        const int count = m_session->listedCount();
        Frame1->setTitle(count < 0 ? QStringLiteral(u"图片列表") : QStringLiteral(u"图片列表(%1个)").arg(count));
    });
    // The listed folder is watched; coming back to the program reads it again,
    // for the changes no file system reports.
    m_session->setWatching(true);
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, m_session, [this](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive)
            m_session->recheckFolder();
    });
    connect(m_session, &BookSession::inputsChanged, this, [this] {
        showControls();
        Q_EMIT inputsChanged();
    });
    for (QLineEdit *box : {Text2, Text3[0], Text3[1], Text3[2], Text3[3], Text8, Text7})
        connect(box, &QLineEdit::textChanged, this, &frmMain::pushInputs);
    connect(Check1, &QCheckBox::stateChanged, this, &frmMain::pushInputs);
    connect(Label5, &ColourSwatch::colourChanged, this, &frmMain::pushInputs);
    connect(Label8, &ColourSwatch::colourChanged, this, &frmMain::pushInputs);
    setAcceptDrops(true);

    // The coordinator connects to Check2 and List1 itself.
    m_preview = new PreviewCoordinator(this, Check2, List1, *m_pictures, *this, this);
}

void frmMain::setUpTabOrder()
{
    // In the picture frame the right-hand box of each row comes first.
    QWidget *const order[] = {List1,    Text1,    Command1, Text2,    Text3[0],
                              Text3[1], Check1,   Text3[3], Text3[2], Text7,
                              Text8,    Combo1,   Command2, Command3, Check2,
                              // The swatches come last, so the order above
                              // stays as the user knows it; a hidden border
                              // swatch is passed over.
                              Label5,   Label8};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
    List1->setFocus();
}

void frmMain::setUpAccessibleNames()
{
    // Without these a screen reader names each box only by its frame, and
    // the list by nothing: its frame caption changes with the count.
    List1->setAccessibleName(QStringLiteral(u"图片列表"));
    Text1->setAccessibleName(Frame2->title());
    Text2->setAccessibleName(Frame3->title());
    // Named as their captions read, the top margin without the caption's
    // slip of the pen (踞 for 距).
    const std::tuple<QLineEdit *, QLabel *, QString> captioned[] = {
        {Text3[0], Label1, QStringLiteral(u"宽")},     {Text3[1], Label2, QStringLiteral(u"高")},
        {Text3[2], Label10, QStringLiteral(u"图片宽")}, {Text3[3], Label9, QStringLiteral(u"图片高")},
        {Text8, Label7, QStringLiteral(u"左边距")},     {Text7, Label6, QStringLiteral(u"上边距")}};
    for (const auto &[box, label, name] : captioned) {
        box->setAccessibleName(name);
        label->setBuddy(box);
    }
    Combo1->setAccessibleName(QStringLiteral(u"缩放方式"));
    Label16->setBuddy(Combo1);
    // The colour captions name their swatches; the browse button is not the path box.
    Label3->setBuddy(Label5);
    Label4->setBuddy(Label8);
    Command1->setAccessibleName(QStringLiteral(u"浏览…"));
}

void frmMain::Form_Load()
{
    GetConfig();
}

void frmMain::GetConfig()
{
    BookSettings inputs = readBookSettings();
    inputs.restoreStored(loadStoredTexts(m_settingsPath));
    showInputs(inputs);
}

void frmMain::showInputs(const BookSettings &inputs)
{
    m_session->setInputs(inputs);
    // Also when the session had these inputs already: the first time the
    // controls are still empty.
    showControls();
}

void frmMain::showControls()
{
    const QScopedValueRollback showing(m_showingInputs, true);
    const BookSettings &inputs = m_session->inputs();
    // A box is set only when it differs: setText moves the cursor of the box
    // being typed in.
    const std::pair<QLineEdit *, QString> boxes[] = {
        {Text2, inputs.documentName},   {Text3[0], inputs.bookWidth},     {Text3[1], inputs.bookHeight},
        {Text3[2], inputs.pictureWidth}, {Text3[3], inputs.pictureHeight}, {Text8, inputs.pictureLeft},
        {Text7, inputs.pictureTop}};
    for (const auto &[box, text] : boxes) {
        if (box->text() != text)
            box->setText(text);
    }
    Label5->setColour(inputs.backgroundColour);
    Label8->setColour(inputs.borderColour);
    // The border caption and swatch follow through Check1_Click.
    Check1->setCheckState(checkState(inputs.border));
    Combo1->setCurrentIndex(Combo1->findData(int(inputs.fitMode)));
}

void frmMain::pushInputs()
{
    if (!m_showingInputs)
        m_session->setInputs(readControls());
}

QWidget *frmMain::control(BookField field) const
{
    switch (field) {
    case BookField::PictureList:
    case BookField::Folder:
        return Command1;
    case BookField::BookWidth:
        return Text3[0];
    case BookField::BookHeight:
        return Text3[1];
    case BookField::PictureWidth:
        return Text3[2];
    case BookField::PictureHeight:
        return Text3[3];
    case BookField::PictureLeft:
        return Text8;
    case BookField::PictureTop:
        return Text7;
    case BookField::DocumentName:
        return Text2;
    case BookField::PictureName:
        return List1;
    }
    return nullptr;
}

bool frmMain::IsFormLoaded(const QString &name) const
{
    // The main window counts as loaded from its creation on, shown or not.
    return objectName() == name || isFormLoaded(name);
}

QString frmMain::pictureFolder() const
{
    return m_session->folderText();
}

QString frmMain::currentEntry() const
{
    return m_pictures->currentEntry();
}

QPoint frmMain::hostPosition() const
{
    return pos();
}

QSize frmMain::hostClientSize() const
{
    return size();
}

QWindow *frmMain::hostWindow() const
{
    return windowHandle();
}

void frmMain::untickPreview()
{
    Check2->setCheckState(Qt::Unchecked);
}

void frmMain::setVisible(bool visible)
{
    QWidget::setVisible(visible);
    // The controls are made once the window is mapped, before its first
    // paint: the first of them to measure text loads the fonts, the longest
    // step of the start, and the window is on screen meanwhile.
    if (visible && !m_session) {
        load();
        for (QWidget *child : findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            if (!child->isWindow() && !child->testAttribute(Qt::WA_WState_ExplicitShowHide))
                child->show();
        }
    }
}

void frmMain::load()
{
    createControls();
    setUpTabOrder();
    setUpAccessibleNames();
    Form_Load();
}

void frmMain::showEvent(QShowEvent *event)
{
    if (!m_placed) {
        m_placed = true;
        if (const QScreen *s = screen()) {
            const QRect area = s->availableGeometry();
            // Before the first showing the frame may not be known yet; then
            // the client area is centred instead.
            const QSize outer = frameGeometry().size();
            move(area.center() - QPoint(outer.width() / 2, outer.height() / 2) + QPoint(1, 1));
        }
    }
    QWidget::showEvent(event);
}

void frmMain::closeEvent(QCloseEvent *event)
{
    Form_Unload();
    event->accept();
}

void frmMain::Form_Unload()
{
    m_preview->mainWindowClosing();
    if (m_pageBoard)
        m_pageBoard->close();
}

void frmMain::Check1_Click()
{
    const bool on = Check1->checkState() == Qt::Checked;
    Label8->setVisible(on);
    Label4->setVisible(on);
}

void frmMain::Combo1_Click()
{
    // The session starts or stops reading the sizes as the way needs them.
    pushInputs();
}

QStringList frmMain::pictureEntries() const
{
    return m_pictures->names();
}

void frmMain::Command1_Click()
{
    // The chooser opens where the user chose last, at first in the home folder.
    if (m_lastChosenFolder.isEmpty())
        m_lastChosenFolder = QDir::homePath();
    const QString chosen = m_platform.chooseFolder(this, browseTitle, m_lastChosenFolder);
    if (chosen.isEmpty()) {
        // The list, its caption and the sizes stay as they were.
        m_session->setFolderText(QString());
        return;
    }
    scanFolder(chosen);
}

bool frmMain::scanFolder(const QString &chosen)
{
    m_lastChosenFolder = chosen;
    // The new list and the sizes preset from it are one undo step.
    std::optional<BookSession::StepGroup> step(std::in_place, *m_session, browseStep);
    // A longer book could not be read back: the first pictures in name order
    // are listed, and the user is told once.
    const BookSession::Opened opened = m_session->openFolder(chosen);
    const QStringList names = pictureEntries();
    if (opened.readable && !names.isEmpty() && opened.firstPictureSize) {
        BookSettings inputs = m_session->inputs();
        inputs.presetFromFirstPicture(*opened.firstPictureSize);
        m_session->changeInputs(browseStep, inputs);
    }
    step.reset();
    if (!opened.readable) {
        // An unreadable folder is not an empty one: say so.
        m_platform.showWarning(this, folderNotReadable + m_session->folderText() + u'\n' + opened.reason);
        return false;
    }
    if (opened.capped)
        m_platform.showWarning(this, messages::tooManyPictures());
    if (names.isEmpty())
        return true;
    if (!opened.firstPictureSize)
        m_platform.showWarning(this, pictureNotReadable + opened.firstPicture);
    return true;
}

void frmMain::arrangeByDocument()
{
    // Never Text1, which a cancelled browse empties while the list stays,
    // nor the working folder.
    if (m_pictures->folder().isEmpty())
        return;
    const BookSettings before = readBookSettings();
    BookSettings inputs = before;
    inputs.pictureFolder = m_pictures->folder();
    const QString path = inputs.outputPath();
    if (!QFileInfo::exists(path)) {
        m_platform.showWarning(this, documentNotFound + path);
        return;
    }
    QStringList names = pictureEntries();
    std::vector<bool> selected = m_pictures->selectedFlags();
    const ReopenedBook reopened = reopenBook(path, m_pictures->folder(), inputs, names, selected);
    if (reopened.refusal) {
        m_platform.showWarning(this, documentNotReadable + path + u'\n' + *reopened.refusal);
        return;
    }
    inputs.pictureFolder = before.pictureFolder;
    // Undo takes back the inputs the book set together with its order.
    StepCompanion inputsStep;
    if (inputs.storedValues() != before.storedValues())
        inputsStep = {[this, inputs] { m_session->setInputs(inputs); }, [this, before] { m_session->setInputs(before); }};
    m_pictures->change(
        m_arrangeByDocument->text(),
        [&](QStringList &list, std::vector<bool> &flags) {
            list = names;
            flags = selected;
            return reopened.edit;
        },
        std::move(inputsStep));
    if (reopened.placementMismatched)
        m_platform.showInformation(this, placementMismatched);
    const QStringList &missing = reopened.missing;
    if (missing.isEmpty())
        return;
    m_platform.showWarning(this, messages::nameList(picturesSkipped, missing));
}

void frmMain::selectEntries(const QStringList &names)
{
    m_pictures->selectNames(names);
}

void frmMain::openPath(const QString &path)
{
    if (!m_session)
        load();
    const QFileInfo info(path);
    if (info.isDir()) {
        scanFolder(info.absoluteFilePath());
    } else if (info.isFile() && info.suffix().compare(u"dml", Qt::CaseInsensitive) == 0) {
        // Listing, document name and arrangement are one undo step.
        const BookSession::StepGroup step(*m_session, browseStep);
        if (!scanFolder(info.absolutePath()))
            return;
        BookSettings named = m_session->inputs();
        named.documentName = info.fileName();
        m_session->changeInputs(browseStep, named);
        arrangeByDocument();
    } else {
        m_platform.showWarning(this, cannotOpen + path);
    }
}

void frmMain::dragEnterEvent(QDragEnterEvent *event)
{
    if (!droppedPath(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void frmMain::dropEvent(QDropEvent *event)
{
    const QString path = droppedPath(event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    openPath(path);
}

BookSettings frmMain::readBookSettings() const
{
    return m_session->book();
}

BookSettings frmMain::readControls() const
{
    BookSettings s;
    s.documentName = Text2->text();
    s.bookWidth = Text3[0]->text();
    s.bookHeight = Text3[1]->text();
    s.pictureWidth = Text3[2]->text();
    s.pictureHeight = Text3[3]->text();
    s.pictureLeft = Text8->text();
    s.pictureTop = Text7->text();
    s.backgroundColour = Label5->colour();
    s.border = borderSwitch(Check1->checkState());
    s.borderColour = Label8->colour();
    s.fitMode = FitMode(Combo1->currentData().toInt());
    return s;
}

void frmMain::Command2_Click()
{
    if (m_generating)
        return;
    m_generating = true;
    const auto done = qScopeGuard([this] { m_generating = false; });
    runGenerate();
}

void frmMain::runGenerate()
{
    GenerateOutcome outcome =
        m_session->generateBook([this](PictureSizeReader &sizes) { return waitForPageSizes(sizes); });
    switch (outcome.kind) {
    case GenerateOutcome::Kind::CheckFailed:
        m_platform.showWarning(this, outcome.failure->message);
        control(outcome.failure->field)->setFocus();
        return;
    case GenerateOutcome::Kind::PicturesVanished:
        selectEntries(outcome.pictures);
        m_platform.showWarning(this, messages::nameList(messages::picturesVanished(), outcome.pictures));
        List1->setFocus();
        return;
    case GenerateOutcome::Kind::SizesUnreadable:
        // One Delete then removes them.
        selectEntries(outcome.pictures);
        List1->setFocus();
        m_platform.showWarning(this, messages::nameList(messages::unreadableSizes(), outcome.pictures));
        return;
    case GenerateOutcome::Kind::Cancelled:
        return;
    case GenerateOutcome::Kind::TrashRefused:
    case GenerateOutcome::Kind::WriteFailed:
    case GenerateOutcome::Kind::Written:
        break;
    }
    // The older document is replaced only by a complete new one; when the
    // trash cannot take it, only the user may let it go.
    if (outcome.kind == GenerateOutcome::Kind::TrashRefused) {
        if (!m_platform.askYesNo(this, messages::cannotTrash() + outcome.reason + u'\n'
                                           + messages::replaceWithoutTrash()))
            return;
        m_session->writeAgain(outcome, OlderDocument::Replace);
    }
    if (outcome.kind != GenerateOutcome::Kind::Written) {
        m_platform.showWarning(this, messages::cannotWrite() + outcome.path + u'\n' + outcome.reason);
        return;
    }
    if (!saveStoredTexts(m_settingsPath, outcome.book.storedValues()))
        m_platform.showWarning(this, settingsNotSaved + m_settingsPath);
    if (m_platform.askYesNo(this, generatedQuestion))
        m_platform.openDocument(outcome.path);
}

bool frmMain::waitForPageSizes(PictureSizeReader &sizes)
{
    QProgressDialog progress(readingSizes.arg(0).arg(sizes.total()), cancelReading, 0, int(sizes.total()), this);
    progress.setWindowModality(Qt::WindowModal);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    progress.setMinimumDuration(sizeDialogDelayMs);
    // The first value starts the dialog's clock.
    progress.setValue(0);
    QEventLoop loop;
    bool cancelled = false;
    const auto cancel = [&] {
        cancelled = true;
        loop.quit();
    };
    connect(&progress, &QProgressDialog::canceled, &loop, cancel);
    connect(&sizes, &PictureSizeReader::stopped, &loop, cancel);
    connect(&sizes, &PictureSizeReader::finished, &loop, &QEventLoop::quit);
    // The count goes to the dialog a few times a second once it shows; a
    // modal progress dialog processes events in setValue.
    QTimer tick;
    tick.setInterval(100);
    connect(&tick, &QTimer::timeout, &progress, [&] {
        if (!progress.isVisible())
            return;
        progress.setLabelText(readingSizes.arg(sizes.done()).arg(sizes.total()));
        progress.setValue(int(sizes.done()));
    });
    tick.start();
    loop.exec();
    // The loop also ends when the program quits before the reading is done.
    return !cancelled && !progress.wasCanceled() && !sizes.isReading();
}

void frmMain::Command3_Click()
{
    Q_EMIT quitRequested();
}

void frmMain::chooseColour(ColourSwatch *swatch)
{
    if (const auto colour = m_platform.chooseColour(this)) {
        swatch->setColour(*colour);
    }
}

void frmMain::enableArrangeByDocument()
{
    m_arrangeByDocument->setEnabled(!m_pictures->folder().isEmpty() && !pictureEntries().isEmpty());
    m_exportBook->setEnabled(!m_export && !pictureEntries().isEmpty());
    m_convertPictures->setEnabled(!m_conversion && !m_session->unconvertedPictures().isEmpty());
}

void frmMain::exportBookFolder()
{
    if (m_export)
        return;
    const BookSettings book = readBookSettings();
    if (const std::optional<CheckFailure> failure = checkBook(book)) {
        m_platform.showWarning(this, failure->message);
        control(failure->field)->setFocus();
        return;
    }
    const QString target = m_platform.chooseFolder(this, exportTitle, QFileInfo(book.pictureFolder).absolutePath());
    if (target.isEmpty())
        return;
    ExportDialog options(this);
    if (options.exec() != QDialog::Accepted)
        return;

    m_export = new ExportTask(std::make_unique<BookExport>(book, target, options.maxScale(), readExportFacts),
                              m_session->queue(), this);
    m_exportBook->setEnabled(false);
    auto *progress = new QProgressDialog(exporting.arg(0).arg(book.pictures.size()), cancelReading, 0,
                                         int(book.pictures.size()), this);
    progress->setObjectName(QStringLiteral("exportProgress"));
    progress->setWindowModality(Qt::WindowModal);
    progress->setAutoClose(false);
    progress->setAutoReset(false);
    progress->setMinimumDuration(sizeDialogDelayMs);
    connect(progress, &QProgressDialog::canceled, m_export, &ExportTask::cancel);
    connect(m_export, &ExportTask::progressed, progress, [progress](qsizetype done, qsizetype total) {
        progress->setMaximum(int(total));
        progress->setValue(int(done));
        progress->setLabelText(exporting.arg(done).arg(total));
    });
    connect(m_export, &ExportTask::finished, this, [this, progress] {
        progress->deleteLater();
        progress->hide();
        const std::optional<ExportFailure> failure = m_export->failure();
        const QString path = m_export->target();
        m_export->deleteLater();
        m_export = nullptr;
        m_exportBook->setEnabled(true);
        if (failure) {
            if (!failure->cancelled)
                m_platform.showWarning(this, exportFailed + (failure->picture.isEmpty() ? path : failure->picture)
                                                 + u'\n' + failure->reason);
            return;
        }
        if (m_platform.askYesNo(this, exportedQuestion.arg(QDir::toNativeSeparators(path))))
            m_platform.openFolder(path);
    });
    m_export->start();
}

void frmMain::convertPictures()
{
    const QStringList pictures = m_session->unconvertedPictures();
    if (m_conversion || pictures.isEmpty())
        return;
    if (!m_platform.askYesNo(this, messages::nameList(convertQuestion.arg(pictures.size()), pictures)))
        return;
    const QString folder = m_session->folder();
    std::vector<ConversionItem> plan = planConversion(pictures);
    // The copies are placed by this command's own step, not by the folder's watch.
    QStringList targets;
    for (const ConversionItem &item : plan)
        targets.append(item.target);
    m_session->claimPictures(targets);
    m_conversion = new ConversionTask(folder, std::move(plan), m_session->inputs().backgroundColour,
                                      m_session->queue(), this);
    auto *progress = new QProgressDialog(converting.arg(0).arg(pictures.size()), cancelReading, 0,
                                         int(pictures.size()), this);
    progress->setObjectName(QStringLiteral("convertProgress"));
    progress->setWindowModality(Qt::WindowModal);
    progress->setAutoClose(false);
    progress->setAutoReset(false);
    progress->setMinimumDuration(sizeDialogDelayMs);
    connect(progress, &QProgressDialog::canceled, m_conversion, &ConversionTask::cancel);
    connect(m_conversion, &ConversionTask::progressed, progress, [progress](qsizetype done, qsizetype total) {
        progress->setValue(int(done));
        progress->setLabelText(converting.arg(done).arg(total));
    });
    connect(m_conversion, &ConversionTask::finished, this, [this, progress, folder] {
        progress->deleteLater();
        progress->hide();
        ConversionTask *task = std::exchange(m_conversion, nullptr);
        task->deleteLater();
        QStringList done;
        for (size_t i = 0; i < task->items().size(); ++i) {
            if (task->results()[i].kind == ConversionResult::Kind::Written
                || task->results()[i].kind == ConversionResult::Kind::Skipped)
                done.append(task->items()[i].source);
        }
        if (m_session->folder() == folder) {
            m_session->noteConverted(done);
            const QStringList written = task->written();
            m_pictures->change(convertStep, [&written](QStringList &names, std::vector<bool> &selected) {
                return insertAtNamePlaces(names, selected, written);
            });
        }
        m_platform.showInformation(this, conversionReport(task->items(), task->results()));
    });
    m_conversion->start();
}

void frmMain::togglePageBoard()
{
    if (m_pageBoard && m_pageBoard->isVisible()) {
        m_pageBoard->close();
        return;
    }
    if (!m_pageBoard) {
        m_pageBoard = new frmPageBoard(*m_pictures, m_session->queue(), pageBoardSettingsPath(), ThumbnailCache::defaultRoot(), this);
        // The board's menu is List1's, with the same last section.
        m_pageBoard->controller()->addMenuSection({m_convertPictures});
        m_pageBoard->controller()->addMenuSection({m_arrangeByDocument, m_openPageBoard, m_exportBook});
        connect(m_pageBoard, &frmPageBoard::exportRequested, m_exportBook, &QAction::trigger);
        // Not through the action, which the menu may have left disabled.
        connect(m_pageBoard, &frmPageBoard::convertRequested, this, &frmMain::convertPictures);
        const auto countUnlisted = [this] {
            m_pageBoard->setUnlistedPictureCount(m_session->unconvertedPictures().size());
        };
        connect(m_session, &BookSession::unconvertedPicturesChanged, m_pageBoard, countUnlisted);
        countUnlisted();
        connect(m_session, &BookSession::picturesJoined, m_pageBoard,
                [this](const QStringList &names) { m_pageBoard->showJoined(int(names.size())); });
        connect(m_pageBoard->controller()->contextMenu(), &QMenu::aboutToShow, this,
                &frmMain::enableArrangeByDocument);
        connect(this, &frmMain::inputsChanged, m_pageBoard, [this] { m_pageBoard->setBookSettings(readBookSettings()); });
        connect(m_pageBoard, &frmPageBoard::pageActivated, m_preview, &PreviewCoordinator::showCurrentEntry);
        // An open preview follows the board's clicks and keys as it follows List1's.
        const auto follow = [this] {
            if (Check2->checkState() == Qt::Checked)
                m_preview->showCurrentEntry();
        };
        connect(m_pageBoard->view(), &QAbstractItemView::clicked, this, follow);
        connect(m_pageBoard->view(), &PictureListView::currentMovedByKey, this, follow);
    }
    m_pageBoard->setBookSettings(readBookSettings());
    m_pageBoard->show();
    m_pageBoard->raise();
    m_pageBoard->activateWindow();
}

QString frmMain::pageBoardSettingsPath() const
{
    return QFileInfo(m_settingsPath).absolutePath() + QStringLiteral("/tarnwick/board.ini");
}

} // namespace tarnwick
