// A check box holding the integer connect mark 0 (cleared), 1 (ticked) or 2 (grayed).
#pragma once

#include <QCheckBox>

namespace drives {

class MarkBox : public QCheckBox {
    Q_OBJECT
public:
    explicit MarkBox(QWidget* parent = nullptr);

    int Value() const;
    // Assigning a new mark emits stateChanged at once (the change action runs nested,
    // before this returns); assigning the current mark emits nothing. Throws AppError for
    // a mark the box cannot hold.
    void SetValue(int mark);

protected:
    // A click only ever ticks or clears: a grayed box is cleared.
    void nextCheckState() override;
};

}  // namespace drives
