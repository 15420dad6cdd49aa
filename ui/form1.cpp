#include "form1.h"

#include "drivelist.h"
#include "errorlistwindow.h"
#include "filelist.h"
#include "folderlist.h"
#include "icons.h"
#include "twips.h"
#include "wrappingcheckbox.h"

#include "appinfo.h"
#include "nativepath.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kTitleBarButtonsWidth = 120;   // pixels: the icon and the close button around a title
constexpr int kErrorListGap = 8;             // pixels between the main window and the error list
constexpr int kFrameChecks = 400;            // how often, and how many milliseconds apart, a list shown
constexpr int kFrameCheckEvery = 50;         // before the main window looks for the main window's frame:
                                             // a busy window manager may take seconds to frame it

// The classic dialog fonts, with look-alikes for systems that lack them.
void installFontSubstitutes()
{
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Liberation Sans"),
                                QStringLiteral("Arimo"), QStringLiteral("DejaVu Sans")});
    QFont::insertSubstitutions(QStringLiteral("MS Serif"),
                               {QStringLiteral("Liberation Serif"), QStringLiteral("Tinos"),
                                QStringLiteral("Times New Roman"), QStringLiteral("DejaVu Serif")});
}

QFont dialogFont(const char *family, qreal points, bool bold = false)
{
    QFont font(QString::fromLatin1(family));
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

template <typename Control>
Control *place(Control *control, const char *name, const QRect &geometry)
{
    control->setObjectName(QString::fromLatin1(name));
    control->setGeometry(geometry);
    return control;
}

QLineEdit *readOnlyBox(QWidget *parent, const char *name, const QRect &geometry, const QString &text)
{
    auto *box = place(new QLineEdit(text, parent), name, geometry);
    box->setReadOnly(true);
    box->setAlignment(Qt::AlignCenter);
    box->setFont(dialogFont("MS Sans Serif", 9.75, true));
    return box;
}

void showMessage(QWidget *parent, const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, appinfo::Title(), text, QMessageBox::Ok, parent);
    // A message box is as wide as its text, which may be narrower than its
    // title; room for the title and the frame's buttons keeps it whole.
    QFont titleFont = QApplication::font();
    titleFont.setBold(true);   // as most title bars show it
    const int titleWidth = QFontMetrics(titleFont).horizontalAdvance(appinfo::Title());
    if (auto *grid = qobject_cast<QGridLayout *>(box.layout()))
        grid->addItem(new QSpacerItem(titleWidth + kTitleBarButtonsWidth, 0, QSizePolicy::Minimum, QSizePolicy::Expanding),
                      grid->rowCount(), 0, 1, grid->columnCount());
    box.exec();
}

// Enter (or the keypad's Enter) presses a focused button, as Space does.
class EnterPressesButton : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *button = qobject_cast<QAbstractButton *>(watched);
        if (!button || event->type() != QEvent::KeyPress)
            return false;
        const auto *key = static_cast<QKeyEvent *>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (!enter || (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier || key->isAutoRepeat())
            return false;
        button->click();
        return true;
    }
};

constexpr float kFadeStep = 0.05f;
constexpr float kHalfTurn = 3.1415927f;

} // namespace

WindowServices::WindowServices() : beep(QApplication::beep), message(showMessage) {}

Form1::Form1(WindowServices services)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                           | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      services_(std::move(services))
{
    installFontSubstitutes();
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(appinfo::Title());
    setWindowIcon(MainWindowIcon());
    setFont(dialogFont("MS Sans Serif", 8.25));
    setFixedSize(Twips(5280), Twips(5715));
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    createControls();
    connectHandlers();
    // Load: the file list takes the mask from the mask box, then the fade is
    // prepared. The window stays hidden until the first tick of the timer.
    File1->setPattern(Text1->text());
    prepareFade();
}

Form1::~Form1()
{
    delete vypis;
}

void Form1::createControls()
{
    Check2 = place(new QPushButton(QStringLiteral("="), this), "Check2", TwipsRect(2520, 1080, 255, 615));
    Check2->setCheckable(true);

    Option3 = place(new QRadioButton(QStringLiteral("Prepare for using this image as Windows XP boot screen"), this),
                    "Option3", TwipsRect(120, 5400, 5055, 255));
    Option2 = place(new QRadioButton(QStringLiteral("Ensure that screen edges are dark in 4-bit mode under DOS"), this),
                    "Option2", TwipsRect(120, 5160, 5055, 255));
    Option1 = place(new QRadioButton(QStringLiteral("None."), this), "Option1", TwipsRect(3120, 4920, 2055, 255));
    auto *placement = new QButtonGroup(this);
    for (QRadioButton *option : {Option1, Option2, Option3})
        placement->addButton(option);
    Option3->setChecked(true);
    // Tab enters the group at the selected option and leaves it from there;
    // the arrow keys move between the options.
    const auto onlySelectedTakesTab = [placement] {
        for (QAbstractButton *option : placement->buttons())
            option->setFocusPolicy(option->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
    };
    onlySelectedTakesTab();
    connect(placement, &QButtonGroup::buttonToggled, this, onlySelectedTakesTab);

    Command4 = place(new QPushButton(QStringLiteral("&Reload"), this), "Command4", TwipsRect(1920, 2415, 615, 285));
    Command4->setFont(dialogFont("MS Serif", 6.75));

    Check1 = place(new WrappingCheckBox(QStringLiteral("&Take advantage of 4-bit BMP format"), this), "Check1",
                   TwipsRect(2760, 4440, 1575, 375));
    Check1->setFont(dialogFont("MS Serif", 6.75));
    Check1->setToolTip(QStringLiteral("Achieves even greater deflation of the file if it has 16 or less colors. "
                                      "It will look the same as 24-bit!"));
    Check1->setChecked(true);

    Command3 = place(new QPushButton(QStringLiteral("A&bort"), this), "Command3", TwipsRect(4440, 4440, 735, 375));
    Command3->setToolTip(QStringLiteral("Stops the current operation."));

    Text3 = readOnlyBox(this, "Text3", TwipsRect(2760, 4080, 2415, 285), QString());

    Command2 = place(new QPushButton(QStringLiteral("Convert &ALL files"), this), "Command2", TwipsRect(2760, 3480, 2415, 495));
    Command2->setToolTip(QStringLiteral("Converts all the files in the left list."));

    Text2 = readOnlyBox(this, "Text2", TwipsRect(3120, 3120, 1695, 285), QStringLiteral("0 %"));

    Dir2 = place(new FolderList(this), "Dir2", TwipsRect(2760, 480, 2415, 1890));
    Drive2 = place(new DriveList(this), "Drive2", TwipsRect(2760, 120, 2415, 315));

    Command1 = place(new QPushButton(QStringLiteral("Process a &single file"), this), "Command1",
                     TwipsRect(2760, 2520, 2415, 495));
    Command1->setToolTip(QStringLiteral("Converts one file, which is highlighted in the left list."));

    Text1 = place(new QLineEdit(QStringLiteral("*.bmp"), this), "Text1", TwipsRect(120, 2400, 1815, 285));
    File1 = place(new FileList(this), "File1", TwipsRect(120, 2760, 2415, 2040));
    Dir1 = place(new FolderList(this), "Dir1", TwipsRect(120, 480, 2415, 1890));
    Drive1 = place(new DriveList(this), "Drive1", TwipsRect(120, 120, 2415, 315));
    Label1 = place(new QLabel(QStringLiteral("Optimization for special purposes"), this), "Label1",
                   TwipsRect(120, 4920, 2895, 255));

    transTimer1 = new QTimer(this);
    transTimer1->setObjectName(QStringLiteral("transTimer1"));
    transTimer1->setInterval(5);
    transTimer1->start();

    // Keyboard order: down the source side, then the destination side, then the options.
    const QList<QWidget *> tabOrder = {Drive1, Dir1, File1, Text1, Command1, Drive2, Dir2, Text2, Command2,
                                       Text3, Command3, Check1, Command4, Option1, Option2, Option3, Check2};
    for (qsizetype i = 1; i < tabOrder.size(); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
    // The keyboard starts at the first control, with its focus frame drawn.
    tabOrder.first()->setFocus();
    setAttribute(Qt::WA_KeyboardFocusChange);

    auto *enterPresses = new EnterPressesButton(this);
    for (QPushButton *button : {Command1, Command2, Command3, Command4, Check2})
        button->installEventFilter(enterPresses);
}

void Form1::connectHandlers()
{
    // The mask applies at every keystroke, as typed.
    connect(Text1, &QLineEdit::textChanged, File1, &FileList::setPattern);
    // A drive or folder that cannot be read changes nothing and says nothing.
    connect(Drive1, &DriveList::driveChanged, Dir1, [this](const QString &drive) { Dir1->setPath(drive); });
    connect(Drive2, &DriveList::driveChanged, Dir2, [this](const QString &drive) { Dir2->setPath(drive); });
    connect(Dir1, &FolderList::pathChanged, this, [this](const QString &path) {
        File1->setPath(path);
        if (Check2->isChecked())
            Dir2->setPath(path);
    });
    connect(Check2, &QPushButton::clicked, this, [this] {
        if (Check2->isChecked())
            Dir2->setPath(Dir1->path());
    });

    connect(Command1, &QPushButton::clicked, this, &Form1::processSingleFile);
    connect(Command2, &QPushButton::clicked, this, &Form1::convertAllFiles);
    connect(Command3, &QPushButton::clicked, this, [this] { abortRequested_ = true; });
    connect(Command4, &QPushButton::clicked, this, &Form1::reload);
    connect(transTimer1, &QTimer::timeout, this, &Form1::transTimer1Tick);
}

// A folder path ending in exactly one separator; a root already has it.
QString Form1::folderPath(const QString &path) const
{
    return path.endsWith(QDir::separator()) ? path : path + QDir::separator();
}

bool Form1::startAt(const QString &path)
{
    const QString absolute = QDir::cleanPath(QDir::current().absoluteFilePath(path));
    const bool isFile = qtfiles::IsRegularFile(absolute);
    if (!isFile && !qtfiles::IsFolder(absolute))
        return false;
    const QString folder = isFile ? QFileInfo(absolute).absolutePath() : absolute;
    if (!Dir1->setPath(folder))   // the file list and a linked destination follow
        return false;
    Drive1->setDriveOf(folder);
    if (isFile)
        File1->highlight(QFileInfo(absolute).fileName());
    return true;
}

void Form1::processSingleFile()
{
    abortRequested_ = false;
    const int index = File1->listIndex();
    if (index == -1) {
        services_.message(this, QStringLiteral("Select a file first"));
        return;
    }
    LockControls();
    ClearErrorList();
    const QString name = File1->list(index);
    const QString source = folderPath(Dir1->path()) + name;
    const QString destination = folderPath(Dir2->path()) + name;
    Text3->setText(name);
    if (ConvertFile(source, destination, *this) == ConvertOutcome::Interrupted)
        return;   // the program is ending: nothing more happens here
    UnlockControls();
    Command1->setFocus();   // back where the command was given
    setAttribute(Qt::WA_KeyboardFocusChange);
    services_.beep();
}

void Form1::convertAllFiles()
{
    abortRequested_ = false;
    if (File1->listCount() == 0) {
        services_.message(this, QStringLiteral("No files in directory. You may change file mask."));
        return;
    }
    ClearErrorList();
    LockControls();
    const QString sourceFolder = folderPath(Dir1->path());
    const QString destinationFolder = folderPath(Dir2->path());
    // The number of files is fixed when the batch starts; a Reload during the
    // batch changes which name stands at a position, not how many are done.
    const int lastIndex = File1->listCount() - 1;
    for (int i = 0; i <= lastIndex; ++i) {
        // A position the list no longer has (files deleted, then Reload) is skipped but counted.
        if (i < File1->listCount()) {
            const QString name = File1->list(i);
            if (ConvertFile(sourceFolder + name, destinationFolder + name, *this) == ConvertOutcome::Interrupted)
                return;
        }
        Text3->setText(QStringLiteral("%1 of %2 files").arg(i + 1).arg(lastIndex + 1));
        if (!yield())
            return;
        if (abortRequested_)
            break;
    }
    UnlockControls();
    Command2->setFocus();   // back where the command was given
    setAttribute(Qt::WA_KeyboardFocusChange);
    services_.beep();
}

void Form1::reload()
{
    // Each list keeps what it shows when its folder cannot be read.
    Dir1->refresh();
    Dir2->refresh();
    File1->refresh();
}

void Form1::LockControls()
{
    setControlsEnabled(false);
}

void Form1::UnlockControls()
{
    setControlsEnabled(true);
}

void Form1::setControlsEnabled(bool enabled)
{
    for (QWidget *control : std::initializer_list<QWidget *>{Drive1, Drive2, Dir1, Dir2, Text1, File1, Command1, Command2, Check1})
        control->setEnabled(enabled);
}

void Form1::prepareFade()
{
    if (WindowsVersion(services_.versionValue) >= 5.0f) {
        makeTrans = std::make_unique<MakeTrans>(services_.opacity);
        makeTrans->Load();
        canFade = true;
    }
}

void Form1::transTimer1Tick()
{
    fadePhase += kFadeStep;
    if (fadePhase == 0.1f) {
        // Off the screen and straight back, which makes some window managers
        // take note of the new translucency.
        const QPoint position = pos();
        move(-10000, position.y());
        move(position);
    }
    if (fadePhase > kHalfTurn)
        transTimer1->stop();
    const double alpha = (1.0 - std::cos(double(fadePhase))) * 128.0;
    if (canFade)
        makeTrans->MakeWindowTransparent(this, std::floor(alpha));
    setVisible(true);
    if (!canFade)
        transTimer1->stop();
}

bool Form1::fourBitWanted() const
{
    return Check1->checkState() != Qt::Unchecked;
}

bmp24to8::PalettePlacement Form1::palettePlacement() const
{
    if (Option1->isChecked())
        return bmp24to8::PalettePlacement::None;
    return Option2->isChecked() ? bmp24to8::PalettePlacement::Dos : bmp24to8::PalettePlacement::BootScreen;
}

void Form1::setProgressText(const QString &text)
{
    Text2->setText(text);
}

bool Form1::yield()
{
    QCoreApplication::processEvents();
    return !ending_;
}

ErrorListWindow *Form1::errorListWindow()
{
    if (!vypis)
        vypis = new ErrorListWindow;
    return vypis;
}

QPoint Form1::errorListPosition(QSize &listSize) const
{
    // The list's frame is taken to be as thick as the main window's.
    const QSize frameExtra = frameGeometry().size() - size();
    const QSize frame = listSize + frameExtra;
    const QRect main = frameGeometry();
    const QScreen *shownOn = screen() ? screen() : QGuiApplication::primaryScreen();
    const QRect room = shownOn ? shownOn->availableGeometry() : main.united(QRect(main.topRight(), frame));
    // Beside the main window: right, left, below, above.
    for (const QPoint &place : {QPoint(main.right() + 1 + kErrorListGap, main.top()),
                                QPoint(main.left() - kErrorListGap - frame.width(), main.top()),
                                QPoint(main.left(), main.bottom() + 1 + kErrorListGap),
                                QPoint(main.left(), main.top() - kErrorListGap - frame.height())}) {
        if (room.contains(QRect(place, frame)))
            return place;
    }
    // A small screen: over the main window, but never over what a run shows
    // and what stops it (the progress, the current file, Abort, the command
    // buttons), in the part of the screen left of them, right of them, below
    // or above them, as the main window's top or side lines it up.
    QRect guarded;
    for (const QWidget *control : std::initializer_list<const QWidget *>{Text2, Text3, Command1, Command2, Command3, Command4})
        guarded |= QRect(control->mapToGlobal(QPoint(0, 0)), control->size());
    guarded.adjust(-kErrorListGap, -kErrorListGap, kErrorListGap, kErrorListGap);
    const QRect areas[] = {
        QRect(room.topLeft(), QPoint(guarded.left() - 1, room.bottom())),    // left of them
        QRect(QPoint(guarded.right() + 1, room.top()), room.bottomRight()),  // right of them
        QRect(QPoint(room.left(), guarded.bottom() + 1), room.bottomRight()),// below them
        QRect(room.topLeft(), QPoint(room.right(), guarded.top() - 1)),      // above them
    };
    const auto placeIn = [&](int side, const QSize &fitted) {
        const QRect &area = areas[side];
        const QPoint wanted[] = {{area.right() + 1 - fitted.width(), main.top()}, {area.left(), main.top()},
                                 {main.left(), area.top()}, {main.left(), area.bottom() + 1 - fitted.height()}};
        return QPoint(std::clamp(wanted[side].x(), area.left(), std::max(area.left(), area.right() + 1 - fitted.width())),
                      std::clamp(wanted[side].y(), area.top(), std::max(area.top(), area.bottom() + 1 - fitted.height())));
    };
    for (int side = 0; side < 4; ++side) {
        if (areas[side].width() >= frame.width() && areas[side].height() >= frame.height())
            return placeIn(side, frame);
    }
    // No part holds the whole list: the one that holds most of it, with the
    // list made smaller to fit (its text scrolls).
    int best = 0;
    for (int side = 1; side < 4; ++side) {
        const QSize now = frame.boundedTo(areas[side].size());
        const QSize fitted = frame.boundedTo(areas[best].size());
        if (qint64(now.width()) * now.height() > qint64(fitted.width()) * fitted.height())
            best = side;
    }
    const QSize fitted = frame.boundedTo(areas[best].size());
    listSize = (fitted - frameExtra).expandedTo(QSize(1, 1));
    return placeIn(best, fitted);
}

void Form1::placeErrorList()
{
    QSize listSize = ErrorListWindow::defaultSize();
    const QPoint place = errorListPosition(listSize);
    vypis->fitTo(listSize);
    vypis->move(place);
}

void Form1::AppendError(const QString &message)
{
    ErrorListWindow *window = errorListWindow();
    if (!window->isVisible()) {
        // Beside the main window, so that it covers neither the progress nor Abort.
        placeErrorList();
        window->show();
        if (!isVisible())
            lineUpErrorList(kFrameChecks);
    }
    // Put away by the user, it comes back with a new entry: nothing else on
    // the screen would say that a file failed.
    // It is shown afresh rather than restored, so that it comes back without
    // taking the keyboard, as it first appeared.
    if (window->isMinimized()) {
        window->hide();
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
        window->show();
    }
    // In front whenever something is added, yet the keyboard stays where it
    // is: Abort and the other keys keep working during a run.
    window->raise();
    window->append(message);
}

void Form1::lineUpErrorList(int checksLeft)
{
    // The list appeared before this window (a missing path at start-up): once
    // the window manager has given this window its frame, the list is placed
    // again beside it, lined up with it as every later list is.
    if (!vypis)
        return;
    if (isVisible() && frameGeometry() != geometry()) {
        placeErrorList();
        return;
    }
    if (checksLeft > 0)
        QTimer::singleShot(kFrameCheckEvery, this, [this, checksLeft] { lineUpErrorList(checksLeft - 1); });
}

void Form1::ClearErrorList()
{
    errorListWindow()->clear();
}

void Form1::closeEvent(QCloseEvent *event)
{
    // Closing the main window ends the program, whatever else is open. A
    // conversion waiting in a yield learns of it there and returns at once.
    ending_ = true;
    transTimer1->stop();
    event->accept();
    delete vypis;
    QCoreApplication::quit();
}
