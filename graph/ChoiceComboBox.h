#pragma once

#include <QComboBox>

namespace graph {

// An editable list whose entryChosen() means only that: an entry was picked from the list or
// stepped to with the keyboard or the wheel. Qt also activates an entry when a typed text that
// matches it is committed; that is typing, and entryChosen() stays silent for it.
class ChoiceComboBox final : public QComboBox {
    Q_OBJECT
public:
    explicit ChoiceComboBox(QWidget* parent = nullptr);

signals:
    void entryChosen(int index);
};

}  // namespace graph
