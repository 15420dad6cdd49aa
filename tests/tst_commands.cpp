// The conversion commands of the main window, clicked as a user clicks them, on
// real temporary folders: single file, batch, Abort, Reload, and closing the
// window in the middle of a run.
#include "qtconvert.h"
#include "errorlistwindow.h"
#include "fakehost.h"
#include "filelist.h"
#include "folderlist.h"
#include "controls.h"
#include "form1.h"
#include "testbmp.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace bmp24to8;
#endif

namespace {

SampleSource picture(int seed, int colours = 12, int height = 6)
{
    return {.width = 7, .height = height, .pixel = [=](int x, int y) { return DistinctColour((x * 3 + y * 5 + seed) % colours); }};
}

SampleSource tooManyColours()
{
    return {.width = 20, .height = 20, .pixel = [](int x, int y) { return DistinctColour(x + 20 * y); }};
}

} // namespace

class TestCommands : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<Form1> form_;
    int beeps_ = 0;
    QStringList messages_;

    QString src(const QString &name = {}) const { return QDir::toNativeSeparators(dir_->filePath(QStringLiteral("src/") + name)); }
    QString dst(const QString &name = {}) const { return QDir::toNativeSeparators(dir_->filePath(QStringLiteral("dst/") + name)); }

    template <typename T>
    T *control(const char *name) const { return Control<T>(form_.get(), name); }

    void addSource(const QString &name, const QByteArray &bytes) { QVERIFY(WriteFileBytes(src(name), bytes)); }

    void openForm()
    {
        WindowServices services;
        services.beep = [this] { ++beeps_; };
        services.message = [this](QWidget *, const QString &text) { messages_ << text; };
        form_ = std::make_unique<Form1>(services);
        QVERIFY(control<FolderList>("Dir1")->setPath(src()));
        QVERIFY(control<FolderList>("Dir2")->setPath(dst()));
    }

    // What the engine writes for a source with the window's start-up options.
    QByteArray expectedOutput(const QByteArray &source)
    {
        QTemporaryDir scratch;
        const QString in = scratch.filePath(QStringLiteral("in.bmp"));
        const QString out = scratch.filePath(QStringLiteral("out.bmp"));
        WriteFileBytes(in, source);
        FakeHost host;
        host.fourBit = true;
        host.placement = PalettePlacement::BootScreen;
        ConvertFile(in, out, host);
        return ReadFileBytes(out);
    }

    QString errorText() const { return form_->errorList() ? form_->errorList()->text() : QString(); }

    void click(const char *button) { QTest::mouseClick(control<QPushButton>(button), Qt::LeftButton); }

    static constexpr const char *kLocked[] = {"Drive1", "Drive2", "Dir1", "Dir2", "Text1", "File1", "Command1", "Command2", "Check1"};

    bool controlsEnabled() const
    {
        for (const char *name : kLocked)
            if (!control<QWidget>(name)->isEnabled())
                return false;
        return true;
    }

    // Runs `action` at the next yield after Text2 changes while Text3 reads `counter`.
    void duringFileAfter(const QString &counter, std::function<void()> action)
    {
        auto done = std::make_shared<bool>(false);
        connect(control<QLineEdit>("Text2"), &QLineEdit::textChanged, form_.get(), [=, this] {
            if (!*done && control<QLineEdit>("Text3")->text() == counter) {
                *done = true;
                QTimer::singleShot(0, form_.get(), action);
            }
        });
    }

private slots:
    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir(dir_->path()).mkpath(QStringLiteral("src")));
        QVERIFY(QDir(dir_->path()).mkpath(QStringLiteral("dst")));
        beeps_ = 0;
        messages_.clear();
    }
    void cleanup()
    {
        form_.reset();
        dir_.reset();
    }

    void singleFile()
    {
        const QByteArray bytes = MakeSource(picture(1));
        addSource(QStringLiteral("one.bmp"), bytes);
        addSource(QStringLiteral("two.bmp"), MakeSource(picture(2)));
        openForm();
        control<FileList>("File1")->setCurrentRow(1);
        QCOMPARE(control<FileList>("File1")->listIndex(), 1);
        click("Command1");
        QCOMPARE(control<QLineEdit>("Text3")->text(), QStringLiteral("two.bmp"));
        QCOMPARE(ReadFileBytes(dst(QStringLiteral("two.bmp"))), expectedOutput(MakeSource(picture(2))));
        QVERIFY(!QFile::exists(dst(QStringLiteral("one.bmp"))));
        QCOMPARE(beeps_, 1);
        QVERIFY(controlsEnabled());
        QVERIFY(form_->errorList() && !form_->errorList()->isVisible());   // cleared, never shown
    }

    void nothingToConvert_data()
    {
        QTest::addColumn<QByteArray>("button");
        QTest::addColumn<QString>("mask");
        QTest::addColumn<QString>("message");
        QTest::newRow("no highlighted file") << QByteArray("Command1") << QStringLiteral("*.bmp") << QStringLiteral("Select a file first");
        QTest::newRow("empty list") << QByteArray("Command2") << QStringLiteral("*.none")
                                    << QStringLiteral("No files in directory. You may change file mask.");
    }
    // Only the message box: no beep, no locking, the error list keeps its text.
    void nothingToConvert()
    {
        QFETCH(QByteArray, button);
        QFETCH(QString, mask);
        QFETCH(QString, message);
        addSource(QStringLiteral("a.bmp"), MakeSource(picture(1)));
        openForm();
        control<QLineEdit>("Text1")->setText(mask);
        form_->AppendError(QStringLiteral("from before"));
        control<QLineEdit>("Text3")->setText(QStringLiteral("untouched"));
        click(button.constData());
        QCOMPARE(messages_, QStringList{message});
        QCOMPARE(beeps_, 0);
        QCOMPARE(errorText(), QStringLiteral("from before\r\n\r\n"));
        QCOMPARE(control<QLineEdit>("Text3")->text(), QStringLiteral("untouched"));
        QVERIFY(controlsEnabled());
    }

    void batchWithBadFiles()
    {
        addSource(QStringLiteral("a.bmp"), MakeSource(picture(1)));
        addSource(QStringLiteral("b.bmp"), "not a picture");
        addSource(QStringLiteral("c.bmp"), MakeSource(tooManyColours()));
        addSource(QStringLiteral("d.bmp"), MakeSource(picture(4, 200)));
        openForm();
        form_->AppendError(QStringLiteral("from before"));

        // Each of the nine controls, one by one, at every moment the window
        // handles events during the run.
        int samples = 0;
        QStringList enabledDuringRun;
        QTimer sampler;
        connect(&sampler, &QTimer::timeout, this, [&] {
            ++samples;
            for (const char *name : kLocked) {
                if (control<QWidget>(name)->isEnabled() && !enabledDuringRun.contains(QLatin1String(name)))
                    enabledDuringRun << QLatin1String(name);
            }
        });
        sampler.start(0);
        click("Command2");
        sampler.stop();

        QVERIFY(samples > 0);
        QCOMPARE(enabledDuringRun, QStringList());
        QVERIFY(controlsEnabled());
        QCOMPARE(control<QLineEdit>("Text3")->text(), QStringLiteral("4 of 4 files"));
        QCOMPARE(beeps_, 1);
        QCOMPARE(errorText(), QStringLiteral("File Not BMP - %1\r\n\r\n"
                                             "Too many different colors at 8. row and 17. column of %2 Lossless conversion not possible.\r\n\r\n")
                                  .arg(src(QStringLiteral("b.bmp")), src(QStringLiteral("c.bmp"))));
        QVERIFY(form_->errorList()->isVisible());
        QCOMPARE(ReadFileBytes(dst(QStringLiteral("a.bmp"))), expectedOutput(MakeSource(picture(1))));
        QCOMPARE(ReadFileBytes(dst(QStringLiteral("d.bmp"))), expectedOutput(MakeSource(picture(4, 200))));
        QVERIFY(!QFile::exists(dst(QStringLiteral("b.bmp"))));
        QVERIFY(!QFile::exists(dst(QStringLiteral("c.bmp"))));
        QCOMPARE(QDir(dst()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(), 2);
    }

    void abortDuringFileThreeOfTen()
    {
        for (int i = 1; i <= 10; ++i)
            addSource(QStringLiteral("f%1.bmp").arg(i, 2, 10, QLatin1Char('0')), MakeSource(picture(i)));
        openForm();
        duringFileAfter(QStringLiteral("2 of 10 files"), [this] { click("Command3"); });
        click("Command2");
        QCOMPARE(control<QLineEdit>("Text3")->text(), QStringLiteral("3 of 10 files"));
        QCOMPARE(errorText(), QStringLiteral("Aborted by user - %1\r\n\r\n").arg(src(QStringLiteral("f03.bmp"))));
        QCOMPARE(QDir(dst()).entryList(QDir::Files), (QStringList{QStringLiteral("f01.bmp"), QStringLiteral("f02.bmp")}));
        QVERIFY(controlsEnabled());
        QCOMPARE(beeps_, 1);
    }

    void abortWhileIdleHasNoEffect()
    {
        for (int i = 1; i <= 3; ++i)
            addSource(QStringLiteral("f%1.bmp").arg(i), MakeSource(picture(i)));
        openForm();
        click("Command3");
        QVERIFY(form_->abortRequested());
        click("Command2");
        QCOMPARE(control<QLineEdit>("Text3")->text(), QStringLiteral("3 of 3 files"));
        QCOMPARE(QDir(dst()).entryList(QDir::Files).size(), 3);
        QCOMPARE(errorText(), QString());
    }

    void reloadDuringBatch()
    {
        for (int i = 1; i <= 5; ++i)
            addSource(QStringLiteral("f%1.bmp").arg(i), MakeSource(picture(i)));
        openForm();
        duringFileAfter(QStringLiteral("1 of 5 files"), [this] {
            QFile::remove(src(QStringLiteral("f4.bmp")));
            QFile::remove(src(QStringLiteral("f5.bmp")));
            click("Command4");
            QCOMPARE(control<FileList>("File1")->listCount(), 3);
        });
        click("Command2");
        QCOMPARE(control<QLineEdit>("Text3")->text(), QStringLiteral("5 of 5 files"));
        QCOMPARE(QDir(dst()).entryList(QDir::Files),
                 (QStringList{QStringLiteral("f1.bmp"), QStringLiteral("f2.bmp"), QStringLiteral("f3.bmp")}));
        QCOMPARE(errorText(), QString());
        QCOMPARE(beeps_, 1);
    }

    void refusedFilesLeaveTheWindowResponsive_data()
    {
        QTest::addColumn<bool>("close");
        QTest::newRow("Abort") << false;
        QTest::newRow("closing the window") << true;
    }
    // A batch of files that are all refused at once still lets the window
    // handle Abort and closing between them.
    void refusedFilesLeaveTheWindowResponsive()
    {
        QFETCH(bool, close);
        for (int i = 1; i <= 10; ++i)
            addSource(QStringLiteral("bad%1.bmp").arg(i, 2, 10, QLatin1Char('0')), "not a picture");
        openForm();
        form_->show();
        bool acted = false;
        connect(control<QLineEdit>("Text3"), &QLineEdit::textChanged, form_.get(), [&, this] {
            if (!acted) {
                acted = true;
                QTimer::singleShot(0, form_.get(), [&, this] { close ? (void)form_->close() : click("Command3"); });
            }
        });
        if (close) {
            QTimer::singleShot(0, form_.get(), [this] { click("Command2"); });
            QTimer::singleShot(10000, qApp, [] { QCoreApplication::exit(1); });
            QCOMPARE(QCoreApplication::exec(), 0);
        } else {
            click("Command2");
            QVERIFY(controlsEnabled());
        }
        QCOMPARE(control<QLineEdit>("Text3")->text(), QStringLiteral("1 of 10 files"));
        QCOMPARE(errorText().count(QStringLiteral("File Not BMP")), close ? 0 : 1);
    }

    void everyCommandStartsWithAbortCleared_data()
    {
        QTest::addColumn<QByteArray>("button");
        QTest::newRow("Process a single file") << QByteArray("Command1");
        QTest::newRow("Convert ALL files") << QByteArray("Command2");
    }
    void everyCommandStartsWithAbortCleared()
    {
        QFETCH(QByteArray, button);
        for (int i = 1; i <= 3; ++i)
            addSource(QStringLiteral("f%1.bmp").arg(i), MakeSource(picture(i)));
        openForm();
        duringFileAfter(QStringLiteral("1 of 3 files"), [this] { click("Command3"); });
        click("Command2");
        QCOMPARE(QDir(dst()).entryList(QDir::Files).size(), 1);
        control<FileList>("File1")->setCurrentRow(2);
        click(button.constData());
        QCOMPARE(errorText(), QString());
        QVERIFY(QFile::exists(dst(QStringLiteral("f3.bmp"))));
    }

    // Reload keeps the highlighted file; when the shown folder is gone, the
    // lists move to the nearest folder that still exists.
    void reloadKeepsTheHighlightOrFallsBack()
    {
        QVERIFY(QDir(src()).mkpath(QStringLiteral("deep/er")));
        for (const char *name : {"a.bmp", "b.bmp", "c.bmp"})
            addSource(QLatin1String(name), MakeSource(picture(1)));
        openForm();
        auto *files = control<FileList>("File1");
        files->setCurrentRow(1);
        addSource(QStringLiteral("0first.bmp"), MakeSource(picture(1)));
        click("Command4");
        QCOMPARE(files->listCount(), 4);
        QCOMPARE(files->list(files->listIndex()), QStringLiteral("b.bmp"));

        QVERIFY(control<FolderList>("Dir1")->setPath(src(QStringLiteral("deep/er"))));
        QVERIFY(QDir(src(QStringLiteral("deep"))).removeRecursively());
        click("Command4");
        QCOMPARE(control<FolderList>("Dir1")->path(), QDir::toNativeSeparators(dir_->filePath(QStringLiteral("src"))));
        QCOMPARE(files->listCount(), 4);
    }

#ifdef Q_OS_UNIX
    // A name that is not valid UTF-8 (Latin-1 from an old archive) is listed
    // and converted under the same bytes.
    void namesThatAreNotUtf8()
    {
        const QByteArray name = QFile::encodeName(src()) + "/caf\xe9.bmp";
        QFile file;
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        QVERIFY(fd >= 0 && file.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle));
        file.write(MakeSource(picture(5)));
        file.close();
        addSource(QStringLiteral("plain.bmp"), MakeSource(picture(6)));
        openForm();
        QCOMPARE(control<FileList>("File1")->listCount(), 2);
        click("Command2");
        QCOMPARE(errorText(), QString());
        QCOMPARE(control<QLineEdit>("Text3")->text(), QStringLiteral("2 of 2 files"));
        const QByteArray output = QFile::encodeName(dst()) + "/caf\xe9.bmp";
        struct stat status;
        QCOMPARE(::stat(output.constData(), &status), 0);
        QCOMPARE(qint64(status.st_size), qint64(expectedOutput(MakeSource(picture(5))).size()));
        ::unlink(output.constData());   // Qt's own removal cannot name them
        ::unlink(name.constData());
    }
#endif

    void enterPressesTheFocusedButton_data()
    {
        QTest::addColumn<QByteArray>("button");
        QTest::addColumn<int>("key");
        for (const char *button : {"Command1", "Command2", "Command3", "Command4", "Check2"}) {
            QTest::addRow("%s, Enter", button) << QByteArray(button) << int(Qt::Key_Return);
            QTest::addRow("%s, keypad Enter", button) << QByteArray(button) << int(Qt::Key_Enter);
        }
    }
    void enterPressesTheFocusedButton()
    {
        QFETCH(QByteArray, button);
        QFETCH(int, key);
        openForm();
        auto *pressed = control<QPushButton>(button.constData());
        QSignalSpy clicks(pressed, &QAbstractButton::clicked);
        pressed->setFocus();
        QTest::keyClick(pressed, Qt::Key(key), key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
        QCOMPARE(clicks.count(), 1);
    }

    void keyboardFocus_data()
    {
        QTest::addColumn<int>("files");
        QTest::newRow("one file") << 1;
        QTest::newRow("three files") << 3;
    }
    // The keyboard starts at the first control; the first Down highlights the
    // first file; after a command the focus is back on its button.
    void keyboardFocus()
    {
        QFETCH(int, files);
        for (int i = 0; i < files; ++i)
            addSource(QStringLiteral("%1.bmp").arg(i), MakeSource(picture(i)));
        openForm();
        QCOMPARE(form_->focusWidget(), control<QWidget>("Drive1"));
        auto *list = control<FileList>("File1");
        list->setFocus();
        // What a list does as it takes the focus in a shown window: the focus
        // frame on the first entry, nothing highlighted.
        list->setCurrentRow(0, QItemSelectionModel::NoUpdate);
        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(list->listIndex(), 0);
        for (const char *button : {"Command1", "Command2"}) {
            click(button);
            QCOMPARE(form_->focusWidget(), control<QWidget>(button));
        }
        QCOMPARE(messages_, QStringList());
    }

    void sourceFolderAsDestination()
    {
        const QByteArray bytes = MakeSource(picture(3));
        addSource(QStringLiteral("same.bmp"), bytes);
        openForm();
        QVERIFY(control<FolderList>("Dir2")->setPath(src()));
        control<FileList>("File1")->setCurrentRow(0);
        click("Command1");
        QCOMPARE(ReadFileBytes(src(QStringLiteral("same.bmp"))), expectedOutput(bytes));
        QCOMPARE(QDir(src()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(), 1);
    }

    // Closing the window ends the program promptly: the file being converted is
    // dropped, nothing more is written or reported, the event loop ends with 0.
    void closingDuringBatch()
    {
        for (int i = 1; i <= 3; ++i)
            addSource(QStringLiteral("f%1.bmp").arg(i), MakeSource(picture(i, 12, 40)));
        openForm();
        form_->show();
        duringFileAfter(QStringLiteral("1 of 3 files"), [this] { form_->close(); });
        QTimer::singleShot(0, form_.get(), [this] { click("Command2"); });
        QTimer::singleShot(10000, qApp, [] { QCoreApplication::exit(1); });
        QCOMPARE(QCoreApplication::exec(), 0);
        QCOMPARE(QDir(dst()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{QStringLiteral("f1.bmp")});
        QCOMPARE(control<QLineEdit>("Text3")->text(), QStringLiteral("1 of 3 files"));
        QCOMPARE(beeps_, 0);
        QVERIFY(!form_->errorList());
    }
};

QTEST_MAIN(TestCommands)
#include "tst_commands.moc"
