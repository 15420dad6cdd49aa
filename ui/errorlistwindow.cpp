#include "errorlistwindow.h"

#include "icons.h"
#include "nativepath.h"
#include "twips.h"

#include <QPlainTextEdit>
#include <QScrollBar>

ErrorListWindow::ErrorListWindow()
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                           | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("vypis"));
    setAttribute(Qt::WA_DeleteOnClose);
    // It appears during a run: the keyboard stays with the main window.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowTitle(QStringLiteral("Error list"));
    setWindowIcon(ErrorListIcon());
    Text1 = new QPlainTextEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    fitTo(defaultSize());
    Text1->setReadOnly(true);
    Text1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    Text1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Text1->setUndoRedoEnabled(false);
}

QSize ErrorListWindow::defaultSize()
{
    return {Twips(4680), Twips(3270)};
}

void ErrorListWindow::fitTo(const QSize &size)
{
    setFixedSize(size.boundedTo(defaultSize()));
    // The margins around the text stay as they are at the window's own size.
    const QRect text = TwipsRect(120, 120, 4455, 3015);
    const QSize margins = defaultSize() - text.size();
    Text1->setGeometry(QRect(text.topLeft(), this->size() - margins));
}

void ErrorListWindow::append(const QString &message)
{
    static const QString separator = QStringLiteral("\r\n\r\n");
    text_ += message + separator;
    // On screen a line break is a paragraph; entries are separated by one empty line.
    // A byte of a name that is not UTF-8 is shown, and copied, as the
    // replacement character; the text kept holds the name as it was given.
    QString shown = qtfiles::DisplayName(message);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    // Follow new entries unless the user has scrolled back to read older ones.
    QScrollBar *bar = Text1->verticalScrollBar();
    const bool following = bar->value() == bar->maximum();
    QTextCursor end(Text1->document());
    end.movePosition(QTextCursor::End);
    end.insertText(shown + QStringLiteral("\n\n"));
    if (following)
        bar->setValue(bar->maximum());
}

void ErrorListWindow::clear()
{
    text_.clear();
    Text1->clear();
}
