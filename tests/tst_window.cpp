// The main window and the error list window, driven as a user would, on real
// temporary folders.
#include "errorlistwindow.h"
#include "filelist.h"
#include "folderlist.h"
#include "controls.h"
#include "form1.h"
#include "nativepath.h"
#include "testbmp.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>
#include <QTimer>

using namespace bmp24to8;

namespace {

QStringList entries(const FileList *list)
{
    QStringList names;
    for (int i = 0; i < list->listCount(); ++i)
        names << list->list(i);
    return names;
}

void deleteClosedWindows()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

class TestWindow : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir_;
    std::unique_ptr<Form1> form_;

    template <typename T>
    T *control(const char *name) const { return Control<T>(form_.get(), name); }
    QString sub(const char *name) const { return QDir::toNativeSeparators(dir_.filePath(QString::fromLatin1(name))); }

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        for (const char *name : {"a.bmp", "B.BMP", "c.txt", "zz.Bmp"})
            QVERIFY(WriteFileBytes(dir_.filePath(QString::fromLatin1(name)), "x"));
        QVERIFY(QDir(dir_.path()).mkpath(QStringLiteral("pictures/inner")));
        QVERIFY(QDir(dir_.path()).mkpath(QStringLiteral("other")));
        QVERIFY(WriteFileBytes(dir_.filePath(QStringLiteral("pictures/p.bmp")), "x"));
        // Links to a picture and to a folder are listed as what they lead to.
        QVERIFY(QDir(dir_.path()).mkpath(QStringLiteral("links")));
        QVERIFY(QFile::link(QStringLiteral("../pictures/p.bmp"), dir_.filePath(QStringLiteral("links/linked.bmp"))));
        QVERIFY(QFile::link(QStringLiteral("../pictures/inner"), dir_.filePath(QStringLiteral("links/linked folder"))));
        QVERIFY(QDir::setCurrent(dir_.path()));
    }

    void init() { form_ = std::make_unique<Form1>(); }
    void cleanup() { form_.reset(); }

    void initialState()
    {
        QCOMPARE(form_->windowTitle(), QStringLiteral("Picture converter 24 to 8 bit BMP"));
        QCOMPARE(form_->size(), QSize(352, 381));
        QCOMPARE(form_->minimumSize(), form_->maximumSize());
        QVERIFY(!(form_->windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(form_->windowFlags() & Qt::WindowMinimizeButtonHint);
        QCOMPARE(control<FolderList>("Dir1")->path(), QDir::toNativeSeparators(dir_.path()));
        QCOMPARE(entries(control<FileList>("File1")), (QStringList{QStringLiteral("a.bmp"), QStringLiteral("B.BMP"), QStringLiteral("zz.Bmp")}));
        QCOMPARE(control<FileList>("File1")->listIndex(), -1);
        QCOMPARE(control<QLineEdit>("Text1")->text(), QStringLiteral("*.bmp"));
        QCOMPARE(control<QLineEdit>("Text2")->text(), QStringLiteral("0 %"));
        QCOMPARE(control<QLineEdit>("Text3")->text(), QString());
        QCOMPARE(control<QCheckBox>("Check1")->checkState(), Qt::Checked);
        QVERIFY(control<QRadioButton>("Option3")->isChecked());
        QVERIFY(!control<QRadioButton>("Option1")->isChecked() && !control<QRadioButton>("Option2")->isChecked());
        QVERIFY(control<QPushButton>("Check2")->isCheckable() && !control<QPushButton>("Check2")->isChecked());
        // What the engine reads.
        QVERIFY(form_->fourBitWanted());
        QCOMPARE(form_->palettePlacement(), PalettePlacement::BootScreen);
        // A greyed four-bit box asks for four-bit output as a ticked one does.
        control<QCheckBox>("Check1")->setCheckState(Qt::PartiallyChecked);
        QVERIFY(form_->fourBitWanted());
        control<QCheckBox>("Check1")->setCheckState(Qt::Unchecked);
        QVERIFY(!form_->fourBitWanted());
        control<QRadioButton>("Option1")->setChecked(true);
        QCOMPARE(form_->palettePlacement(), PalettePlacement::None);
        control<QRadioButton>("Option2")->setChecked(true);
        QCOMPARE(form_->palettePlacement(), PalettePlacement::Dos);
        QVERIFY(!form_->abortRequested());
        QVERIFY(!form_->errorList());
    }

    void controls_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("toolTip");
        const auto row = [](const char *name, int l, int t, int w, int h, const char *caption = "", const char *tip = "") {
            QTest::newRow(name) << QString::fromLatin1(name) << QRect(l / 15, t / 15, w / 15, h / 15)
                                << QString::fromLatin1(caption) << QString::fromLatin1(tip);
        };
        row("Check2", 2520, 1080, 255, 615, "=");
        row("Option3", 120, 5400, 5055, 255, "Prepare for using this image as Windows XP boot screen");
        row("Option2", 120, 5160, 5055, 255, "Ensure that screen edges are dark in 4-bit mode under DOS");
        row("Option1", 3120, 4920, 2055, 255, "None.");
        row("Command4", 1920, 2415, 615, 285, "&Reload");
        row("Check1", 2760, 4440, 1575, 375, "&Take advantage of 4-bit BMP format",
            "Achieves even greater deflation of the file if it has 16 or less colors. It will look the same as 24-bit!");
        row("Command3", 4440, 4440, 735, 375, "A&bort", "Stops the current operation.");
        row("Text3", 2760, 4080, 2415, 285);
        row("Command2", 2760, 3480, 2415, 495, "Convert &ALL files", "Converts all the files in the left list.");
        row("Text2", 3120, 3120, 1695, 285, "0 %");
        row("Dir2", 2760, 480, 2415, 1890);
        row("Drive2", 2760, 120, 2415, 315);
        row("Command1", 2760, 2520, 2415, 495, "Process a &single file", "Converts one file, which is highlighted in the left list.");
        row("Text1", 120, 2400, 1815, 285, "*.bmp");
        row("File1", 120, 2760, 2415, 2040);
        row("Dir1", 120, 480, 2415, 1890);
        row("Drive1", 120, 120, 2415, 315);
        row("Label1", 120, 4920, 2895, 255, "Optimization for special purposes");
    }
    void controls()
    {
        QFETCH(QString, name);
        QFETCH(QRect, geometry);
        QFETCH(QString, caption);
        QFETCH(QString, toolTip);
        QWidget *widget = form_->findChild<QWidget *>(name);
        QVERIFY(widget);
        QCOMPARE(widget->geometry(), geometry);
        QCOMPARE(widget->toolTip(), toolTip);
        QString text;
        if (auto *button = qobject_cast<QAbstractButton *>(widget))
            text = button->text();
        else if (auto *edit = qobject_cast<QLineEdit *>(widget))
            text = edit->text();
        else if (auto *label = qobject_cast<QLabel *>(widget))
            text = label->text();
        QCOMPARE(text, caption);
    }

    void tabOrder()
    {
        const QStringList expected = {"Drive1", "Dir1", "File1", "Text1", "Command1", "Drive2", "Dir2", "Text2", "Command2",
                                      "Text3", "Command3", "Check1", "Command4", "Option1", "Option2", "Option3", "Check2"};
        QStringList order;
        QWidget *start = control<QWidget>("Drive1");
        QWidget *widget = start;
        do {
            if (expected.contains(widget->objectName()) && !order.contains(widget->objectName()))
                order << widget->objectName();
            widget = widget->nextInFocusChain();
        } while (widget != start);
        QCOMPARE(order, expected);
    }

    // Choosing the drive that is already chosen leaves the folders as they are.
    void sameDriveChosenAgain()
    {
        QVERIFY(control<QPushButton>("Check2")->isCheckable());
        QTest::mouseClick(control<QPushButton>("Check2"), Qt::LeftButton);   // Dir2 follows Dir1
        auto *source = control<FolderList>("Dir1");
        QVERIFY(source->setPath(sub("pictures")));
        auto *drive = control<QComboBox>("Drive1");
        emit drive->activated(drive->currentIndex());   // what a click on the open list sends
        QCOMPARE(source->path(), sub("pictures"));
        QCOMPARE(control<FolderList>("Dir2")->path(), sub("pictures"));
        QCOMPARE(entries(control<FileList>("File1")), QStringList{QStringLiteral("p.bmp")});
    }

    void tabEntersThePlacementAtTheSelectedOption_data()
    {
        QTest::addColumn<QByteArray>("selected");
        for (const char *option : {"Option1", "Option2", "Option3"})
            QTest::newRow(option) << QByteArray(option);
    }
    // As in any radio group: Tab and Shift+Tab enter and leave it at the
    // selected option, the arrow keys move the selection.
    void tabEntersThePlacementAtTheSelectedOption()
    {
        QFETCH(QByteArray, selected);
        form_->show();
        form_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form_.get()));
        control<QRadioButton>(selected.constData())->setChecked(true);
        control<QWidget>("Command4")->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), QString::fromLatin1(selected));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("Check2"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget()->objectName(), QString::fromLatin1(selected));
        QVERIFY(control<QRadioButton>(selected.constData())->isChecked());   // Tab alone never changes it

        QTest::keyClick(QApplication::focusWidget(), selected == "Option3" ? Qt::Key_Up : Qt::Key_Down);
        const QString moved = QApplication::focusWidget()->objectName();
        QVERIFY(moved != QString::fromLatin1(selected) && control<QRadioButton>(qPrintable(moved))->isChecked());
        control<QWidget>("Command4")->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), moved);
    }

    void startsAtAPathItWasGiven_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("folder");        // empty: nothing changes
        QTest::addColumn<QString>("highlighted");
        QTest::newRow("a picture") << "pictures/p.bmp" << "pictures" << "p.bmp";
        QTest::newRow("a folder") << "pictures/inner" << "pictures/inner" << "";
        QTest::newRow("missing") << "pictures/gone.bmp" << "" << "";
        QTest::newRow("a link to a picture") << "links/linked.bmp" << "links" << "linked.bmp";
        QTest::newRow("a link to a folder") << "links/linked folder" << "links/linked folder" << "";
    }
    // "Open with": the picture's folder in the source lists, the picture
    // highlighted; a folder opens that folder.
    void startsAtAPathItWasGiven()
    {
        QFETCH(QString, path);
        QFETCH(QString, folder);
        QFETCH(QString, highlighted);
        const QString before = control<FolderList>("Dir1")->path();
        QCOMPARE(form_->startAt(dir_.filePath(path)), !folder.isEmpty());
        auto *files = control<FileList>("File1");
        QCOMPARE(control<FolderList>("Dir1")->path(), folder.isEmpty() ? before : sub(qPrintable(folder)));
        QCOMPARE(files->path(), control<FolderList>("Dir1")->path());
        QCOMPARE(files->listIndex() < 0 ? QString() : files->list(files->listIndex()), highlighted);
        QCOMPARE(control<QComboBox>("Drive1")->currentData().toString(), QStorageInfo(dir_.path()).rootPath());
    }

    void accelerators()
    {
        form_->show();
        form_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form_.get()));
        // Through the window, as the platform delivers keys, so shortcuts apply.
        QTest::keyClick(form_->windowHandle(), Qt::Key_T, Qt::AltModifier);
        // A mnemonic presses the button visibly first, so the click comes a moment later.
        QTRY_COMPARE(control<QCheckBox>("Check1")->checkState(), Qt::Unchecked);
        QTest::keyClick(form_->windowHandle(), Qt::Key_T, Qt::AltModifier);
        QTRY_COMPARE(control<QCheckBox>("Check1")->checkState(), Qt::Checked);
    }

    void maskFiltersAtEveryKeystroke()
    {
        QLineEdit *mask = control<QLineEdit>("Text1");
        FileList *files = control<FileList>("File1");
        mask->clear();
        QCOMPARE(entries(files).size(), 4);   // an empty mask lists every file
        const QList<QPair<char, QStringList>> steps = {
            {'*', {"a.bmp", "B.BMP", "c.txt", "zz.Bmp"}},
            {'.', {}},   // names ending in a dot
            {'b', {}},
            {'m', {}},
            {'p', {"a.bmp", "B.BMP", "zz.Bmp"}},
            {';', {"a.bmp", "B.BMP", "zz.Bmp"}},
            {'*', {"a.bmp", "B.BMP", "c.txt", "zz.Bmp"}},
        };
        for (const auto &[key, names] : steps) {
            QTest::keyClick(mask, key);
            QCOMPARE(entries(files), names);
        }
    }

    void linkMovesTheDestination()
    {
        auto *source = control<FolderList>("Dir1");
        auto *destination = control<FolderList>("Dir2");
        auto *link = control<QPushButton>("Check2");
        QVERIFY(destination->setPath(sub("other")));

        QTest::mouseClick(link, Qt::LeftButton);
        QVERIFY(link->isChecked());
        QCOMPARE(destination->path(), source->path());

        QVERIFY(source->setPath(sub("pictures")));
        QCOMPARE(destination->path(), sub("pictures"));
        QCOMPARE(entries(control<FileList>("File1")), QStringList{QStringLiteral("p.bmp")});

        // Opening a subfolder from the keyboard follows the same way.
        source->setFocus();
        source->setCurrentRow(source->count() - 1);
        QTest::keyClick(source, Qt::Key_Return);
        QCOMPARE(source->path(), sub("pictures/inner"));
        QCOMPARE(destination->path(), sub("pictures/inner"));

        QTest::mouseClick(link, Qt::LeftButton);
        QVERIFY(!link->isChecked());
        QCOMPARE(destination->path(), sub("pictures/inner"));
        QVERIFY(source->setPath(sub("other")));
        QCOMPARE(destination->path(), sub("pictures/inner"));
    }

    void unreadableFolderChangesNothing_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<int>("mode");   // of a folder made for the row; 0 for none
        QTest::newRow("missing") << QStringLiteral("no-such-folder") << 0;
        QTest::newRow("a file") << QStringLiteral("a.bmp") << 0;
        QTest::newRow("a folder that cannot be searched") << QStringLiteral("no-search") << 0644;
        QTest::newRow("a folder that cannot be read") << QStringLiteral("no-read") << 0311;
    }
    void unreadableFolderChangesNothing()
    {
        QFETCH(QString, folder);
        QFETCH(int, mode);
        if (mode != 0) {
            QVERIFY(QDir(dir_.path()).mkpath(folder));
            QVERIFY(::chmod(QFile::encodeName(dir_.filePath(folder)).constData(), mode_t(mode)) == 0);
            if (geteuid() == 0)
                QSKIP("the super-user may enter any folder; the row runs for ordinary users (tools/test-as-user.sh)");
        }
        auto *source = control<FolderList>("Dir1");
        const QString before = source->path();
        const QStringList files = entries(control<FileList>("File1"));
        QVERIFY(!source->setPath(dir_.filePath(folder)));
        QCOMPARE(source->path(), before);
        QCOMPARE(entries(control<FileList>("File1")), files);
        QVERIFY(!control<FileList>("File1")->setPath(dir_.filePath(folder)));
        QCOMPARE(entries(control<FileList>("File1")), files);
    }

    void errorList()
    {
        form_->AppendError(QStringLiteral("first"));
        ErrorListWindow *window = form_->errorList();
        QVERIFY(window && window->isVisible());
        QCOMPARE(window->windowTitle(), QStringLiteral("Error list"));
        QCOMPARE(window->size(), QSize(312, 218));
        QCOMPARE(window->parent(), nullptr);
        QCOMPARE(window->text(), QStringLiteral("first\r\n\r\n"));
        form_->AppendError(QStringLiteral("File Not BMP - /x/a.bmp"));
        form_->AppendError(QStringLiteral("first"));
        form_->AppendError(QStringLiteral(" two\nlines "));
        QCOMPARE(window->text(), QStringLiteral("first\r\n\r\nFile Not BMP - /x/a.bmp\r\n\r\nfirst\r\n\r\n two\nlines \r\n\r\n"));
        auto *box = window->findChild<QPlainTextEdit *>(QStringLiteral("Text1"));
        QVERIFY(box->isReadOnly());
        QCOMPARE(box->toPlainText(), QStringLiteral("first\n\nFile Not BMP - /x/a.bmp\n\nfirst\n\n two\nlines \n\n"));
        // A name's byte that is not UTF-8 is shown, and so copied, as the
        // replacement character, and kept as given.
        const QString latin1 = qtfiles::PathFromNative("caf\xe9.bmp");
        form_->AppendError(latin1);
        QVERIFY(window->text().endsWith(latin1 + QStringLiteral("\r\n\r\n")));
        QVERIFY(box->toPlainText().endsWith(QStringLiteral("caf\uFFFD.bmp\n\n")));

        form_->ClearErrorList();
        QCOMPARE(window->text(), QString());
        QVERIFY(window->isVisible());

        // Closed by the user: the next clear makes it anew, hidden and empty.
        window->close();
        deleteClosedWindows();
        QVERIFY(!form_->errorList());
        form_->ClearErrorList();
        QVERIFY(form_->errorList() && !form_->errorList()->isVisible());
        form_->AppendError(QStringLiteral("after"));
        QVERIFY(form_->errorList()->isVisible());
        QCOMPARE(form_->errorList()->text(), QStringLiteral("after\r\n\r\n"));
    }

    void closingTheMainWindowEndsTheProgram()
    {
        form_->show();
        form_->AppendError(QStringLiteral("open"));
        QPointer<ErrorListWindow> window = form_->errorList();
        QTimer::singleShot(0, form_.get(), &QWidget::close);
        QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(1); });
        QCOMPARE(QCoreApplication::exec(), 0);
        deleteClosedWindows();
        QVERIFY(!window);
        QVERIFY(!form_->isVisible());
    }
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
