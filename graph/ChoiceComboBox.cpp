#include "ChoiceComboBox.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <utility>

namespace graph {

namespace {

// A typed text is committed only from inside the edit's own key and focus handlers, so an
// activation that arrives while one of them runs comes from typing.
class CommittingLineEdit final : public QLineEdit {
public:
    using QLineEdit::QLineEdit;
    bool committing() const { return committing_; }

protected:
    void keyPressEvent(QKeyEvent* event) override {
        const bool previous = std::exchange(committing_, true);
        QLineEdit::keyPressEvent(event);
        committing_ = previous;
    }
    void focusOutEvent(QFocusEvent* event) override {
        const bool previous = std::exchange(committing_, true);
        QLineEdit::focusOutEvent(event);
        committing_ = previous;
    }

private:
    bool committing_ = false;
};

}  // namespace

ChoiceComboBox::ChoiceComboBox(QWidget* parent) : QComboBox(parent) {
    auto* edit = new CommittingLineEdit(this);
    setLineEdit(edit);
    connect(this, &QComboBox::activated, this, [this, edit](int index) {
        if (!edit->committing()) emit entryChosen(index);
    });
}

}  // namespace graph
