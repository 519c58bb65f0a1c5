#include "Form2.h"

#include <QPlainTextEdit>
#include <QPushButton>

namespace textlog {

// Placeholder until the text log window is built.
Form2::Form2(std::function<void()> showMainWindow, QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("Text log  Vellicor"));
    RichTextBox1 = new QPlainTextEdit(this);
    Command1 = new QPushButton(QStringLiteral("Close"), this);
    if (showMainWindow) showMainWindow();
}

void Form2::appendLine(const QString& line) {
    RichTextBox1->setPlainText(RichTextBox1->toPlainText() + line);
}

QString Form2::text() const { return RichTextBox1->toPlainText(); }

}  // namespace textlog
