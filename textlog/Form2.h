#pragma once

#include <QWidget>
#include <functional>

class QPlainTextEdit;
class QPushButton;

namespace textlog {

// The text log window: the logged lines on screen, for as long as the window lives.
class Form2 : public QWidget {
    Q_OBJECT
public:
    // showMainWindow runs when the window is created, bringing the main window to the front.
    explicit Form2(std::function<void()> showMainWindow, QWidget* parent = nullptr);

    void appendLine(const QString& line);  // line ends with CR LF
    QString text() const;

    QPlainTextEdit* RichTextBox1 = nullptr;
    QPushButton* Command1 = nullptr;  // "Close"
};

}  // namespace textlog
