// The main window: source drive, folder, mask and file list on the left; the
// destination drive and folder, the conversion buttons, progress, the current
// file, the four-bit option and Abort on the right; the palette placement along
// the bottom. It is also the conversion engine's host: the engine reads the
// options from its controls and shows progress in it.
#pragma once

#include "errorlistwindow.h"
#include "fade.h"
#include "qtconvert.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

class DriveList;

class FileList;
class FolderList;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTimer;
class WrappingCheckBox;

// What the window needs from the system around it; tests put fakes in its place.
struct WindowServices
{
    quint32 versionValue = CurrentVersionValue();
    OpacityLayer opacity = ApplyWindowOpacity;
    std::function<void()> beep;
    // A modal message box with an OK button only, no icon and the program's title.
    std::function<void(QWidget *parent, const QString &text)> message;

    WindowServices();
};

class Form1 : public QWidget, public QtConversionHost
{
    Q_OBJECT

public:
    explicit Form1(WindowServices services = WindowServices());
    ~Form1() override;

    // The conversion engine's view of the window: the four-bit box, ticked or
    // greyed, asks for four-bit output; "None." (Option1), the DOS placement
    // (Option2), or else the boot-screen placement (Option3).
    bool fourBitWanted() const override;
    bmp24to8::PalettePlacement palettePlacement() const override;
    void setProgressText(const QString &text) override;
    bool yield() override;
    bool abortRequested() const override { return abortRequested_; }

    // The error list: appending shows the window; clearing empties it, creating
    // it hidden when it does not exist, and never shows or hides it.
    void AppendError(const QString &message) override;
    void ClearErrorList();
    // The error list window while it exists.
    ErrorListWindow *errorList() const { return vypis; }

    // Starts the source side at a path the program was given ("Open with"):
    // a file's folder with the file highlighted, or a folder. False, changing
    // nothing, when the path is neither.
    bool startAt(const QString &path);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void createControls();
    void connectHandlers();
    void prepareFade();
    ErrorListWindow *errorListWindow();
    // Where the error list's frame goes when it appears; `listSize` is made
    // smaller where a small screen leaves no room for the whole list.
    QPoint errorListPosition(QSize &listSize) const;
    // Shows the list where errorListPosition puts it.
    void placeErrorList();
    void lineUpErrorList(int checksLeft);

    // The conversion commands and their helpers.
    void processSingleFile();
    void convertAllFiles();
    void reload();
    void LockControls();
    void UnlockControls();
    void setControlsEnabled(bool enabled);
    QString folderPath(const QString &path) const;

    void transTimer1Tick();

    QPushButton *Check2;
    QRadioButton *Option3;
    QRadioButton *Option2;
    QRadioButton *Option1;
    QPushButton *Command4;
    WrappingCheckBox *Check1;
    QPushButton *Command3;
    QLineEdit *Text3;
    QPushButton *Command2;
    QLineEdit *Text2;
    FolderList *Dir2;
    DriveList *Drive2;
    QPushButton *Command1;
    QLineEdit *Text1;
    FileList *File1;
    FolderList *Dir1;
    DriveList *Drive1;
    QLabel *Label1;

    QTimer *transTimer1;

    WindowServices services_;
    QPointer<ErrorListWindow> vypis;
    std::unique_ptr<MakeTrans> makeTrans;
    bool abortRequested_ = false;
    bool ending_ = false;
    bool canFade = false;
    float fadePhase = 0.0f;
};
