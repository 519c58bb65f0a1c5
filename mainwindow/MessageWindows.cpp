#include "MessageWindows.h"

#include <QMessageBox>

namespace mainwindow {

MessageWindows::~MessageWindows() {
    for (Entry& e : entries_) delete e.box.data();
}

QMessageBox* MessageWindows::window(MessageKind kind) const {
    return entries_[static_cast<std::size_t>(kind)].box;
}

void MessageWindows::report(MessageKind kind, const QString& reason) {
    Entry& e = entries_[static_cast<std::size_t>(kind)];
    const bool fresh = !e.box;
    if (fresh) {
        // Not modal: a modal box would run a nested event loop inside the handler that failed,
        // and the program must keep showing values while a message waits for a user who may be
        // away for days.
        e.box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Vellicor pH controller"),
                                QString(), QMessageBox::Ok, parent_);
        e.box->setWindowModality(Qt::NonModal);
        e.count = 0;
        QMessageBox* const box = e.box;
        // Dismissed by its button or its close box: the next failure of this kind starts afresh.
        QObject::connect(box, &QDialog::finished, box, [&e, box] {
            e.box = nullptr;
            e.count = 0;
            box->deleteLater();
        });
    }
    ++e.count;
    setText(kind, reason);
    if (fresh) e.box->show();
}

void MessageWindows::update(MessageKind kind, const QString& reason) {
    if (window(kind)) setText(kind, reason);
}

void MessageWindows::setText(MessageKind kind, const QString& reason) {
    Entry& e = entries_[static_cast<std::size_t>(kind)];
    QString text = reason;
    if (e.count > 1) {
        text += QStringLiteral("\n\nThis happened %1 times since this message was last closed.")
                    .arg(e.count);
    }
    if (e.box->text() != text) e.box->setText(text);
}

}  // namespace mainwindow
